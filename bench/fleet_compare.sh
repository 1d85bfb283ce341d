#!/usr/bin/env bash
# Times vudfleet on fleets of installations against what an administrator would do
# without it, and measures its memory on a large fleet:
#   local   1,000 installations on local disk, hard links to a few distinct sample
#           installations (so the fleet takes a few MB): vudfleet --format csv against a
#           shell loop that runs vudcheck in each folder, and against cat of all their
#           application files;
#   share   50 installations behind a FUSE file system that answers every request 1 ms
#           late, as a share over a network does (bench/slow_share.cpp, many threads,
#           nothing cached by the kernel): vudfleet with its default jobs against the
#           loop of vudcheck;
#   memory  10,000 installations (the local ones ten times over, through --from) to CSV:
#           the peak resident memory of vudfleet;
#   reports saved reports of 1 MiB read in process (bench/report_reading.cpp): a
#           well-formed one against inputs made to be slow (one 1 MiB verdict line,
#           1 MiB of "v", verdict fragments over and over on one line, a million short
#           lines), each to read or be refused in at most 3 times its time.
# Every timed command runs as `sh -c '... >/dev/null'` from the fleet's folder, so each
# pays for the same shell and none for a pipe. Prints the medians, the ratios, the
# targets and whether each is met; exits 1 when one is missed.
#
#   bench/fleet_compare.sh
#
# Needs root or a user allowed to mount FUSE file systems. VUD_FLEET_COMPARE_BUILD names
# the build folder (default build-bench/fleet in the tree).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${VUD_FLEET_COMPARE_BUILD:-$repo/build-bench/fleet}
(($# == 0)) || { echo "usage: $0" >&2; exit 2; }

# Tools and libraries: groups build and benchmarks of tools/packages, installed when
# missing (as root or through sudo).
"$repo/tools/setup" build benchmarks
[[ -r /dev/fuse && -w /dev/fuse ]] || { echo "fleet_compare.sh: no usable /dev/fuse here" >&2; exit 2; }

echo "== building vudcheck, vudfleet, vudsample and the slow share (Release) in $build"
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVUDCHECK_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j2 --target vudcheck vudfleet vudsample vud_slow_share vud_report_reading >/dev/null
program() { find "$build" -type f -name "$1" -perm -u+x | head -n 1; }
vudcheck=$(program vudcheck)
vudfleet=$(program vudfleet)
vudsample=$(program vudsample)
slow_share=$(program vud_slow_share)
report_reading=$(program vud_report_reading)
[[ -n $vudcheck && -n $vudfleet && -n $vudsample && -n $slow_share && -n $report_reading ]] ||
  { echo "fleet_compare.sh: build produced no programs" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vudfleet-compare.XXXXXX")
mounted=
server=
cleanup() {
  if [[ -n $mounted ]]; then fusermount3 -u "$mounted" 2>/dev/null || umount -l "$mounted" 2>/dev/null || true; fi
  if [[ -n $server ]]; then wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
results=$work/results
mkdir -p "$results"

# A few distinct installations, so the fleet holds findings of every kind the sample
# maker plants, several host generations and complete, correct ones.
echo "== writing the distinct sample installations in $work/distinct"
distinct=(11.0 11.0-correct 8.0 7.0-correct 10.0)
for name in "${distinct[@]}"; do
  host=${name%-correct}
  if [[ $name == *-correct ]]; then
    "$vudsample" "$work/distinct/$name" "$host" --correct-only
  else
    "$vudsample" "$work/distinct/$name" "$host"
  fi
done

# Installation i is a folder of hard links to distinct installation i mod 5: the files
# are the sample's own, and the fleet costs only its folders.
make_fleet() {  # <folder> <count>
  mkdir -p "$1"
  for ((i = 1; i <= $2; i++)); do
    cp -al "$work/distinct/${distinct[i % ${#distinct[@]}]}" "$(printf '%s/ws%04d' "$1" "$i")"
  done
}
echo "== linking 1,000 installations in $work/local"
make_fleet "$work/local" 1000
echo "   $(du -sh "$work" | cut -f1) on disk for $(find "$work/local" -name '*.ma' | wc -l) application files"
echo "== linking 50 installations in $work/share-source, and serving them 1 ms late at $work/share"
make_fleet "$work/share-source" 50
mkdir -p "$work/share"
"$slow_share" "$work/share-source" "$work/share" 1000 2>"$work/slow-share.err" &
server=$!
for _ in $(seq 100); do
  mountpoint -q "$work/share" && break
  sleep 0.1
done
mountpoint -q "$work/share" || { cat "$work/slow-share.err" >&2; echo "fleet_compare.sh: the slow share did not mount" >&2; exit 1; }
mounted=$work/share
echo "== listing 10,000 installations (the local ones ten times) in $work/fleet-10000.txt"
for _ in 1 2 3 4 5 6 7 8 9 10; do printf '%s\n' "$work"/local/ws*; done >"$work/fleet-10000.txt"

# The same report from vudfleet and from the loop, installation by installation: a
# benchmark of a program that skipped work would mean nothing.
cd "$work"
"$vudfleet" --format csv local/* >"$results/local.csv" || true
"$vudfleet" --format csv share/* >"$results/share.csv" || true
sed 's/^share\//local\//' "$results/share.csv" | cmp -s - <(head -n "$(wc -l <"$results/share.csv")" "$results/local.csv") ||
  { echo "fleet_compare.sh: vudfleet reads the slow share differently from the local disk" >&2; exit 1; }
echo "   the same CSV for the 50 on the slow share as for their local copies"

# One word for the shell and for hyperfine's command splitting.
quote() { local text=${1//\'/\'\\\'\'}; printf "'%s'" "$text"; }
vudcheck_q=$(quote "$vudcheck")
vudfleet_q=$(quote "$vudfleet")
loop() { printf 'sh -c %s' "$(quote "for d in $1/*; do (cd \"\$d\" && exec $vudcheck_q); done >/dev/null")"; }
fleet() { printf 'sh -c %s' "$(quote "exec $vudfleet_q --format csv $1/* >/dev/null")"; }

echo
echo "== machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), load $(cut -d' ' -f1-3 /proc/loadavg)"

# Three rounds of hyperfine, so that a change in the machine's load while it runs falls
# on every command alike; the runs of all rounds are pooled. vudfleet exits 1 on a fleet
# with findings, so exit statuses are not checked (the CSV above was).
time_rounds() {
  local name=$1 runs=$2 warmup=$3
  shift 3
  for round in 1 2 3; do
    hyperfine -N -i --style none --warmup "$warmup" --runs "$runs" --export-json "$results/$name-$round.json" "$@" >/dev/null
  done
}

echo
echo "== 1. local disk, 1,000 installations: vudfleet --format csv, the loop of vudcheck, cat of every file"
time_rounds local 3 1 \
  -n vudfleet "$(fleet local)" \
  -n loop "$(loop local)"
# cat reads every byte of 40,000 files, some GB, many times what the others take: one
# run a round.
time_rounds local-cat 1 0 \
  -n cat "sh -c $(quote "cat local/*/*.ma >/dev/null")"

echo
echo "== 2. slow share, 50 installations: vudfleet with its default jobs, the loop of vudcheck"
time_rounds share 1 0 \
  -n vudfleet "$(fleet share)" \
  -n loop "$(loop share)"

echo
echo "== 3. peak resident memory of vudfleet --format csv over 10,000 installations (largest of 3)"
largest=0
for _ in 1 2 3; do
  /usr/bin/time -f %M -o "$results/rss.txt" "$vudfleet" --format csv --from fleet-10000.txt >/dev/null || true
  kilobytes=$(tail -n 1 "$results/rss.txt")
  ((kilobytes > largest)) && largest=$kilobytes
done
echo "$largest" >"$results/rss-10000.txt"

echo
echo "== 4. report reading: well-formed and adversarial saved reports of 1 MiB"
"$report_reading" >"$results/report-reading.txt" || true

echo
echo "== summary (medians; load at the end $(cut -d' ' -f1-3 /proc/loadavg))"
python3 - "$results" <<'PYTHON'
import glob, json, os, statistics, sys

results = sys.argv[1]

def medians(name):
    pooled = {}
    for path in sorted(glob.glob(os.path.join(results, name + "-[0-9].json"))):
        with open(path) as f:
            for r in json.load(f)["results"]:
                pooled.setdefault(r["command"], []).extend(r["times"])
    return {command: (statistics.median(times), len(times)) for command, times in pooled.items()}

local = medians("local") | medians("local-cat")
share = medians("share")
rss = int(open(os.path.join(results, "rss-10000.txt")).read()) / 1024

def line(what, figures):
    print(f"  {what:34}" + "".join(f" {name} {seconds * 1000:9.1f} ms ({runs} runs)" for name, (seconds, runs) in figures.items()))

line("local disk, 1,000 installations", local)
line("slow share, 50 installations", share)
print(f"  {'peak memory, 10,000 installations':34} {rss:.1f} MiB")
print()

targets = [
    ("vudfleet / loop of vudcheck, local", local["vudfleet"][0] / local["loop"][0], "<=", 0.5),
    ("vudfleet / cat of every file, local", local["vudfleet"][0] / local["cat"][0], "<=", 0.5),
    ("vudfleet / loop of vudcheck, slow share", share["vudfleet"][0] / share["loop"][0], "<=", 0.15),
    ("peak memory, 10,000 installations, MiB", rss, "<=", 64),
]
missed = 0
for what, value, sense, limit in targets:
    met = value <= limit
    missed += not met
    print(f"  {what:42} {value:8.3f}   target {sense} {limit:<5} {'met' if met else 'MISSED'}")
print()
with open(os.path.join(results, "report-reading.txt")) as f:
    reading = f.read()
print(reading, end="")
missed += reading.count("MISSED") + reading.count("MISREAD") + (0 if "ratio" in reading else 1)
sys.exit(1 if missed else 0)
PYTHON

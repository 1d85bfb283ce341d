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
#   hanging the same 50 on a second such share where one of them (ws0025) never
#           answers: vudfleet --timeout 5 over the 50 against vudfleet over the 49
#           others, which must end within 5 s plus 1.2 times the 49's time, with the
#           49's records as on local disk and one error record; and the 50 on a third
#           share where ws0025 is held, as by a stuck server that takes no notice of
#           interrupts (its reader cannot be ended, even killed): the seconds until the
#           pipe of vudfleet --timeout 3 closes, which must be at most 5;
#   memory  10,000 installations (the local ones ten times over, through --from) to CSV:
#           the peak resident memory of vudfleet;
#   reports saved reports of 1 MiB read in process (bench/report_reading.cpp): a
#           well-formed one against inputs made to be slow (one 1 MiB verdict line,
#           1 MiB of "v", verdict fragments over and over on one line, a million short
#           lines), each to read or be refused in at most 3 times its time.
#   dashboard  10,000 installations, nine in ten of them ok, with --html: the page's
#           bytes and the time headless Chromium takes to render it (a screenshot),
#           side by side with the page of the vudfleet before the dashboard for
#           thousands, built from the commit VUD_FLEET_DASHBOARD_BASE (default the last
#           one before it); the same 10,000 with --baseline, the JSON of a night before
#           on which 1 in 20 of the installations had findings that are now fixed and
#           1 in 20 was correct that now has findings, 20 were not yet scanned and 10
#           since removed: that page's bytes and render time, and how many of its
#           cells are marked as changed; and the peak memory of vudfleet --html over
#           both lists of 10,000.
#   baseline the 1,000 local installations to JSON, with --baseline (the JSON of an
#           earlier scan of them) and without: what comparing with the last scan costs;
#           and the baseline's read alone (a run over one installation that is not
#           there): its time, CPU time and peak memory, on that baseline and on one of
#           20,000 installations (the same lines twenty times over, each path anew);
#           and on one of 100,000 (a hundred times over) to the totals, which write
#           nothing an installation, so that the figure is the read's: its peak memory
#           (target 64 MiB) and its time against the scan of the 1,000 to JSON;
#   reference the 1,000 local installations held to a reference build made from the
#           distinct ones: vudfleet --reference against sha256sum over every application
#           file with as many processes as cores, caches warm for both; vudfleet without
#           --reference against the vudfleet before the reference check, built from
#           VUD_FLEET_REFERENCE_BASE (default the last commit before it); and on the slow
#           share, the requests of a scan with --reference per installation against the
#           bytes' own minimum (each file's size over the 1 MiB of a read, plus its open).
# Every timed command runs as `sh -c '... >/dev/null'` from the fleet's folder, so each
# pays for the same shell and none for a pipe. Prints the medians, the ratios, the
# targets and whether each is met; exits 1 when one is missed.
#
#   bench/fleet_compare.sh
#   bench/fleet_compare.sh --only baseline    the baseline's figures alone, in a minute or two
#
# Needs root or a user allowed to mount FUSE file systems, and the repository's history
# for the earlier vudfleet (neither with --only baseline). VUD_FLEET_COMPARE_BUILD names the build folder (default
# build-bench/fleet in the tree); the earlier vudfleet is built beside it, in *-base.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${VUD_FLEET_COMPARE_BUILD:-$repo/build-bench/fleet}
base_commit=${VUD_FLEET_DASHBOARD_BASE:-fa01337778a140de5271a9ca9c169e589da66029}
reference_base=${VUD_FLEET_REFERENCE_BASE:-9383655c84d1a9c945b9586eafd7420ef88c20b6}
only=
case "$*" in
  "") ;;
  "--only baseline") only=baseline ;;
  *) echo "usage: $0 [--only baseline]" >&2; exit 2 ;;
esac
everything() { [[ -z $only ]]; }

# Tools and libraries: groups build and benchmarks of tools/packages, installed when
# missing (as root or through sudo).
if everything; then
  "$repo/tools/setup" build benchmarks browser
  [[ -r /dev/fuse && -w /dev/fuse ]] || { echo "fleet_compare.sh: no usable /dev/fuse here" >&2; exit 2; }
else
  "$repo/tools/setup" build benchmarks
fi

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

if everything; then
  echo "== building the vudfleet of ${base_commit:0:12}, the dashboard before, in $build-base"
  mkdir -p "$build-base/source"
  git -C "$repo" archive "$base_commit" | tar -x -C "$build-base/source"
  cmake -S "$build-base/source" -B "$build-base/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$build-base/build" -j2 --target vudfleet >/dev/null
  base_vudfleet=$(find "$build-base/build" -type f -name vudfleet -perm -u+x | head -n 1)
  [[ -n $base_vudfleet ]] || { echo "fleet_compare.sh: the earlier vudfleet was not built" >&2; exit 1; }
  echo "== building the vudfleet of ${reference_base:0:12}, before the reference check, in $build-reference-base"
  mkdir -p "$build-reference-base/source"
  git -C "$repo" archive "$reference_base" | tar -x -C "$build-reference-base/source"
  cmake -S "$build-reference-base/source" -B "$build-reference-base/build" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$build-reference-base/build" -j2 --target vudfleet >/dev/null
  reference_base_vudfleet=$(find "$build-reference-base/build" -type f -name vudfleet -perm -u+x | head -n 1)
  [[ -n $reference_base_vudfleet ]] || { echo "fleet_compare.sh: the vudfleet before the reference was not built" >&2; exit 1; }
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vudfleet-compare.XXXXXX")
mounted=()
servers=()
cleanup() {
  for mount in "${mounted[@]}"; do fusermount3 -u "$mount" 2>/dev/null || umount -l "$mount" 2>/dev/null || true; done
  # A server told to end answers what it holds, so that a run left behind ends too.
  for server in "${servers[@]}"; do kill -TERM "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; done
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
if everything; then
  echo "== linking 50 installations in $work/share-source, and serving them 1 ms late at $work/share"
  make_fleet "$work/share-source" 50
  serve() {  # <mount point> [hanging folder [held]]: the share-source 1 ms late
    mkdir -p "$1"
    "$slow_share" "$work/share-source" "$1" 1000 "${@:2}" 2>"$1.err" &
    servers+=($!)
    for _ in $(seq 100); do
      mountpoint -q "$1" && break
      sleep 0.1
    done
    mountpoint -q "$1" || { cat "$1.err" >&2; echo "fleet_compare.sh: the slow share did not mount at $1" >&2; exit 1; }
    mounted+=("$1")
  }
  serve "$work/share"
  echo "== serving them again at $work/share-hang, where ws0025 never answers"
  serve "$work/share-hang" /ws0025
  echo "== serving them again at $work/share-held, where ws0025 is held and deaf to interrupts"
  serve "$work/share-held" /ws0025 held
  # Each time spelled anew (local/ws0001, local/./ws0001, ...): the same spelling is
  # checked once.
  echo "== listing 10,000 installations (the local ones ten times) in $work/fleet-10000.txt"
  dots=
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    for folder in "$work"/local/ws*; do printf '%s\n' "$work/local/$dots${folder##*/}"; done
    dots+=./
  done >"$work/fleet-10000.txt"
  # Installation i is ok when i mod 5 is 1 or 3 (the complete correct samples): nine
  # lines in ten name one of those, the tenth one with findings.
  echo "== listing 10,000 installations, nine in ten ok, in $work/fleet-mostly-ok.txt"
  python3 - "$work" <<'PYTHON'
import sys
work = sys.argv[1]
ok = [i for i in range(1, 1001) if i % 5 in (1, 3)]
findings = [i for i in range(1, 1001) if i % 5 not in (1, 3)]
with open(f"{work}/fleet-mostly-ok.txt", "w") as out:
    for j in range(10000):
        i = findings[(j // 10) % len(findings)] if j % 10 == 0 else ok[j % len(ok)]
        # Spelled anew every 400 lines, so that no line repeats another.
        out.write(f"{work}/local/{'./' * (j // 400)}ws{i:04d}\n")
PYTHON
fi

if everything; then
  # The night before the mostly-ok fleet, for the dashboard with changes: the same
  # folders, of which ws0020, ws0040, ... (findings now) were correct and ws0001, ws0021,
  # ... (correct now) had the findings of the FWP 8.0 sample; the list without every
  # 500th line (added since), with ten installations removed since. Scanned under
  # yesterday/ and its paths then spelled as today's.
  echo "== scanning the night before the mostly-ok fleet, for a baseline, in $work/yesterday.json"
  mkdir -p "$work/yesterday"
  for ((i = 1; i <= 1000; i++)); do
    case $((i % 20)) in
      0) sample=${distinct[1]} ;;
      1) sample=${distinct[2]} ;;
      *) sample=${distinct[i % ${#distinct[@]}]} ;;
    esac
    cp -al "$work/distinct/$sample" "$(printf '%s/yesterday/ws%04d' "$work" "$i")"
  done
  for i in 01 02 03 04 05 06 07 08 09 10; do cp -al "$work/distinct/${distinct[1]}" "$work/yesterday/removed$i"; done
  {
    awk 'NR % 500 != 0' "$work/fleet-mostly-ok.txt"
    printf '%s\n' "$work"/local/removed{01..10}
  } | sed "s#^$work/local/#$work/yesterday/#" >"$work/yesterday.txt"
  "$vudfleet" --format json --from "$work/yesterday.txt" | sed "s#\"$work/yesterday/#\"$work/local/#g" >"$work/yesterday.json" || true
  [[ $(wc -l <"$work/yesterday.json") == 9990 ]] ||
    { echo "fleet_compare.sh: the night before has $(wc -l <"$work/yesterday.json") installations, not 9,990" >&2; exit 1; }
fi

# The same report from vudfleet and from the loop, installation by installation: a
# benchmark of a program that skipped work would mean nothing.
# Each row carries the second its scan started, which is left out of the comparison.
cd "$work"
untimed() { sed -E 's/,[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z,/,,/' "$@"; }
if everything; then
  "$vudfleet" --format csv local/* >"$results/local.csv" || true
  "$vudfleet" --format csv share/* >"$results/share.csv" || true
  untimed "$results/share.csv" | sed 's/^share\//local\//' |
    cmp -s - <(head -n "$(wc -l <"$results/share.csv")" "$results/local.csv" | untimed) ||
    { echo "fleet_compare.sh: vudfleet reads the slow share differently from the local disk" >&2; exit 1; }
  echo "   the same CSV for the 50 on the slow share as for their local copies"
  # One hanging installation costs the run an error record, and nothing else.
  hang_status=0
  "$vudfleet" --timeout 5 --format csv share-hang/* >"$results/hang.csv" || hang_status=$?
  ((hang_status == 2)) || { echo "fleet_compare.sh: exit status $hang_status with a hanging installation, not 2" >&2; exit 1; }
  [[ $(grep -c '^share-hang/ws0025,folder,error,timed out after 5 s,' "$results/hang.csv") == 1 ]] ||
    { echo "fleet_compare.sh: no error record for the hanging installation" >&2; exit 1; }
  "$vudfleet" --format csv local/ws00{01..24} local/ws00{26..50} >"$results/local-49.csv" || true
  grep -v '^share-hang/ws0025,' "$results/hang.csv" | untimed | sed 's/^share-hang\//local\//' |
    cmp -s - <(untimed "$results/local-49.csv") ||
    { echo "fleet_compare.sh: the 49 that answer read differently beside a hanging one" >&2; exit 1; }
  python3 - "$results/hang.csv" <<'PYTHON'
import csv, sys
statuses = {row["installation"]: row["status"] for row in csv.DictReader(open(sys.argv[1], newline=""))}
errors = sum(status == "error" for status in statuses.values())
print(f"   with ws0025 hanging: {len(statuses) - errors} installations read as on local disk, {errors} error record,"
      " exit status 2")
PYTHON

  # A request held for good keeps the thread that made it, and a run's process with it,
  # but not the run's output: seconds until the pipe's reader sees its end, three times.
  for round in 1 2 3; do
    begun=$(date +%s%N)
    held_status=0
    "$vudfleet" --timeout 3 --format csv share-held/* | cat >"$results/held.csv" || held_status=$?
    echo $((($(date +%s%N) - begun) / 1000000)) >>"$results/held-milliseconds.txt"
    ((held_status == 2)) || { echo "fleet_compare.sh: exit status $held_status with a held installation, not 2" >&2; exit 1; }
    [[ $(grep -c '^share-held/ws0025,folder,error,timed out after 3 s,' "$results/held.csv") == 1 &&
       $(cut -d, -f1 "$results/held.csv" | sort -u | wc -l) == 51 ]] ||
      { echo "fleet_compare.sh: not every record with a held installation" >&2; exit 1; }
  done
  echo "   with ws0025 held: 50 records, exit status 2, the pipe closed after $(paste -sd' ' "$results/held-milliseconds.txt") ms"
fi

# One word for the shell and for hyperfine's command splitting.
quote() { local text=${1//\'/\'\\\'\'}; printf "'%s'" "$text"; }
vudcheck_q=$(quote "$vudcheck")
vudfleet_q=$(quote "$vudfleet")
loop() { printf 'sh -c %s' "$(quote "for d in $1/*; do (cd \"\$d\" && exec $vudcheck_q); done >/dev/null")"; }
fleet() { printf 'sh -c %s' "$(quote "exec $vudfleet_q --format csv $1/* >/dev/null")"; }
# Options, if any, second: "${2-}", as under set -u a missing $2 ends the command
# substitution, whose failure an argument passes over: "sh -c ''" was timed in place
# of the run.
fleet_json() { printf 'sh -c %s' "$(quote "exec $vudfleet_q --format json ${2-} $1/* >/dev/null")"; }

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

if everything; then
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
  echo "== 2b. slow share, ws0025 hanging: vudfleet --timeout 5 over the 50, and over the 49 others alone"
  the49=$(printf ' share-hang/%s' ws00{01..24} ws00{26..50})
  time_rounds hang 1 0 \
    -n hanging "sh -c $(quote "exec $vudfleet_q --timeout 5 --format csv share-hang/* >/dev/null")" \
    -n alone "sh -c $(quote "exec $vudfleet_q --timeout 5 --format csv$the49 >/dev/null")"

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
  echo "== 5. the dashboard of 10,000 installations, nine in ten ok: this vudfleet's page and the earlier one's"
  "$vudfleet" --format csv --from fleet-mostly-ok.txt --html "$results/dashboard-new.html" >/dev/null || true
  "$base_vudfleet" --format csv --from fleet-mostly-ok.txt --html "$results/dashboard-old.html" >/dev/null || true
  "$vudfleet" --format csv --from fleet-mostly-ok.txt --baseline yesterday.json \
    --html "$results/dashboard-changes.html" >/dev/null || true
  stat -c %s "$results/dashboard-new.html" >"$results/bytes-new.txt"
  stat -c %s "$results/dashboard-old.html" >"$results/bytes-old.txt"
  stat -c %s "$results/dashboard-changes.html" >"$results/bytes-changes.txt"
  # What the page with changes says changed, and how many cells it marks.
  changes=$(grep -o 'Since the baseline scan[^<]*' "$results/dashboard-changes.html" | sed 's/.*: //')
  marked=$(grep -o '<td class="cell[a-z -]* changed' "$results/dashboard-changes.html" | wc -l)
  [[ -n $changes && $marked -gt 0 ]] ||
    { echo "fleet_compare.sh: the dashboard with --baseline shows no change" >&2; exit 1; }
  echo "   with --baseline: $changes; $marked cells marked as changed" | tee "$results/changes.txt"
  # Rendered to a screenshot, which lays out the whole page; the profile is made once by
  # an untimed run, so neither page pays for it.
  render() {
    printf '%s' "chromium --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir=$work/chromium"
    printf ' %s' "--window-size=1280,1024" "--screenshot=$work/dashboard.png" "file://$1"
  }
  printf '<!DOCTYPE html><title>warm up</title>' >"$work/warm.html"
  $(render "$work/warm.html") >/dev/null 2>&1 || true
  # An empty page too: what Chromium takes to start and take a screenshot at all.
  hyperfine -N -i --style none --runs 3 --export-json "$results/render-1.json" \
    -n before "$(render "$results/dashboard-old.html")" \
    -n now "$(render "$results/dashboard-new.html")" \
    -n changes "$(render "$results/dashboard-changes.html")" \
    -n empty "$(render "$work/warm.html")" >/dev/null
  largest=0
  for list in fleet-10000.txt fleet-mostly-ok.txt; do
    /usr/bin/time -f %M -o "$results/rss.txt" "$vudfleet" --format csv --from "$list" --html "$work/page.html" >/dev/null || true
    kilobytes=$(tail -n 1 "$results/rss.txt")
    ((kilobytes > largest)) && largest=$kilobytes
  done
  echo "$largest" >"$results/rss-html-10000.txt"
  /usr/bin/time -f %M -o "$results/rss.txt" "$base_vudfleet" --format csv --from fleet-10000.txt --html "$work/page.html" >/dev/null || true
  tail -n 1 "$results/rss.txt" >"$results/rss-html-10000-before.txt"
fi

echo
echo "== 6. --baseline, 1,000 installations: vudfleet --format json with last night's JSON and without"
"$vudfleet" --format json local/* >"$work/baseline.json" || true
echo "   the baseline: $(wc -l <"$work/baseline.json") installations, $(du -h "$work/baseline.json" | cut -f1)"
# Assigned first, so that set -e stops the script when one cannot be written.
without=$(fleet_json local)
with=$(fleet_json local "--baseline $work/baseline.json")
time_rounds baseline 3 1 -n without "$without" -n with "$with"

echo
echo "== 6b. the baseline's read alone: vudfleet --format json --baseline over one installation not there (5 runs each)"
# Twenty copies of the baseline, each path under a folder of its own: a fleet of 20,000.
# The same a hundred times over, ended as a whole scan's state ends: 100,000.
python3 - "$work/baseline.json" "$work/baseline-20000.json" "$work/baseline-100000.json" <<'PYTHON'
import json, sys
lines = open(sys.argv[1]).read().splitlines(keepends=True)
# A scan kept as the fleet's state (format 4) ends with its end line, which is not copied.
state = json.loads(lines[0]).get("format") == 4
records = lines[:-1] if state else lines
for copies, name in ((20, sys.argv[2]), (100, sys.argv[3])):
    with open(name, "w") as out:
        for copy in range(copies):
            for line in records:
                out.write(line.replace('"installation":"', f'"installation":"copy{copy}/', 1))
        if state:
            end = json.loads(lines[-1])
            end["installations"] = copies * len(records)
            out.write(json.dumps(end, separators=(",", ":")) + "\n")
PYTHON
echo "   and one of $(wc -l <"$work/baseline-20000.json") installations, $(du -h "$work/baseline-20000.json" | cut -f1)"
echo "   and one of $(wc -l <"$work/baseline-100000.json") lines, $(du -h "$work/baseline-100000.json" | cut -f1)"
# The run reads the whole baseline, then writes one error record and, as a record each,
# the installations of the baseline that it did not scan. Without a baseline: what the
# run costs that is not the reading.
read_alone() {  # <name> <format> <runs> [baseline]
  for ((run = 0; run < $3; run++)); do
    /usr/bin/time -f '%e %U %S %M' -a -o "$results/read-$1.txt" \
      "$vudfleet" --format "$2" ${4:+--baseline "$4"} not-there >/dev/null 2>&1 || true
  done
}
read_alone none json 5
read_alone 1000 json 5 "$work/baseline.json"
read_alone 20000 json 5 "$work/baseline-20000.json"
read_alone 100000 totals 3 "$work/baseline-100000.json"
rm -f "$work/baseline-100000.json"

if everything; then
echo "== 7. --reference, 1,000 installations: against sha256sum with $(nproc) processes; without it against before"
"$vudfleet" --write-reference reference.txt "$work"/distinct/* >/dev/null
# The same CSV but for the reference's columns: held to it, nothing else changes.
"$vudfleet" --format csv --reference reference.txt local/* >"$results/local-reference.csv" || true
python3 - "$results/local.csv" "$results/local-reference.csv" <<'PYTHON'
import csv, sys
plain = [row[:22] for row in csv.reader(open(sys.argv[1], newline=""))]
held = list(csv.reader(open(sys.argv[2], newline="")))
assert [row[:22] for row in held] == plain, "--reference changed the records"
states = [row[-1] for row in held[1:] if row[-1]]
modified = sum(state == "modified" for state in states)
print(f"   the same records with --reference; {len(states)} blocks: {states.count('verified')} verified, "
      f"{modified} modified, {states.count('unreferenced')} unreferenced")
PYTHON
reference_base_q=$(quote "$reference_base_vudfleet")
time_rounds reference 3 1 \
  -n reference "sh -c $(quote "exec $vudfleet_q --format csv --reference reference.txt local/* >/dev/null")" \
  -n sha256sum "sh -c $(quote "printf '%s\\0' local/*/*.ma | xargs -0 -P $(nproc) -n 1000 sha256sum >/dev/null")" \
  -n without "$(fleet local)" \
  -n before "sh -c $(quote "exec $reference_base_q --format csv local/* >/dev/null")"
# Requests on a share: every call on an application file reaches the server there (its
# look-up, open, reads and status), counted by strace over five installations, against
# each file's size over the 1 MiB of a read, plus its open.
if command -v strace >/dev/null; then
  strace -f -e trace=openat,read,pread64,newfstatat,fstat,statx -o "$results/reference.strace" \
    "$vudfleet" --format csv --jobs 1 --reference reference.txt local/ws000{1..5} >/dev/null || true
  python3 - "$results/reference.strace" >"$results/reference-requests.txt" <<'PYTHON'
import os, re, sys
application = r'"([^"]*/ws\d+/vud_[a-z0-9]+\.ma)"'
descriptors, calls = {}, {}
for line in open(sys.argv[1]):
    pid = line.split()[0]
    opened = re.search(r"openat\(AT_FDCWD, " + application + r".*= (\d+)$", line)
    looked = re.search(r"(?:newfstatat|statx)\(AT_FDCWD, " + application, line)
    on = re.search(r"^\d+\s+(?:p?read(?:64)?|fstat|newfstatat)\((\d+),", line)
    if opened:
        descriptors[(pid, opened.group(2))] = opened.group(1)
        path = opened.group(1)
    elif looked:
        path = looked.group(1)
    elif on and (pid, on.group(1)) in descriptors:
        path = descriptors[(pid, on.group(1))]
    else:
        continue
    calls[path] = calls.get(path, 0) + 1
installations = len({os.path.dirname(path) for path in calls})
least = sum(-(-os.path.getsize(path) // (1 << 20)) + 1 for path in calls if os.path.exists(path))
print(f"{sum(calls.values()) / installations:.1f} {least / installations:.1f}")
PYTHON
fi
fi

echo
echo "== summary (medians; load at the end $(cut -d' ' -f1-3 /proc/loadavg))"
python3 - "$results" "$only" <<'PYTHON'
import glob, json, os, statistics, sys

results, only = sys.argv[1], sys.argv[2]

def medians(name):
    pooled = {}
    for path in sorted(glob.glob(os.path.join(results, name + "-[0-9].json"))):
        with open(path) as f:
            for r in json.load(f)["results"]:
                pooled.setdefault(r["command"], []).extend(r["times"])
    return {command: (statistics.median(times), len(times)) for command, times in pooled.items()}

# The runs of /usr/bin/time: seconds elapsed, user and system, and peak KiB each
# (a line of its own says when a run exited other than 0).
def read_runs(name):
    with open(os.path.join(results, f"read-{name}.txt")) as f:
        runs = [line.split() for line in f if line[:1].isdigit()]
    elapsed = statistics.median(float(run[0]) for run in runs)
    cpu = statistics.median(float(run[1]) + float(run[2]) for run in runs)
    return elapsed, cpu, max(int(run[3]) for run in runs) / 1024, len(runs)

def line(what, figures):
    print(f"  {what:34}" + "".join(f" {name} {seconds * 1000:9.1f} ms ({runs} runs)" for name, (seconds, runs) in figures.items()))

baseline = medians("baseline")
if not only:
    local = medians("local") | medians("local-cat")
    share = medians("share")
    hang = medians("hang")
    reference = medians("reference")
    held = statistics.median(int(line) / 1000 for line in open(os.path.join(results, "held-milliseconds.txt")))
    render = medians("render")
    number = lambda name: int(open(os.path.join(results, name)).read())
    rss = number("rss-10000.txt") / 1024
    rss_html = number("rss-html-10000.txt") / 1024
    rss_html_before = number("rss-html-10000-before.txt") / 1024
    page_now, page_before = number("bytes-new.txt"), number("bytes-old.txt")
    page_changes = number("bytes-changes.txt")
    line("local disk, 1,000 installations", local)
    line("slow share, 50 installations", share)
    line("slow share, one of 50 hanging", hang)
    print(f"  {'slow share, one of 50 held':34} the pipe closed after {held:.2f} s (--timeout 3; median of 3)")
line("--baseline, 1,000 installations", baseline)
none = read_runs("none")
for name, what in (("1000", "1,000"), ("20000", "20,000")):
    elapsed, cpu, memory, runs = read_runs(name)
    print(f"  {'baseline read alone, ' + what:34} {elapsed:6.3f} s, {cpu:6.3f} s of CPU, peak memory {memory:6.1f} MiB"
          f" ({runs} runs; net of a run without: {elapsed - none[0]:6.3f} s, {cpu - none[1]:6.3f} s of CPU)")
print(f"  {'a run without, one installation':34} {none[0]:6.3f} s, {none[1]:6.3f} s of CPU, peak memory {none[2]:6.1f} MiB")
large = read_runs("100000")
print(f"  {'baseline read alone, 100,000':34} {large[0]:6.3f} s, {large[1]:6.3f} s of CPU, peak memory {large[2]:6.1f} MiB"
      f" ({large[3]} runs, to the totals); against the scan of 1,000 to JSON: "
      f"{large[0] / baseline['without'][0]:.2f} times its time")
if not only:
    line("dashboard of 10,000, Chromium", render)
    print(f"  {'dashboard of 10,000, bytes':34} before {page_before / 1e6:.1f} MB, now {page_now / 1e6:.1f} MB")
    print(f"  {'dashboard of 10,000 with changes':34} {page_changes} bytes, Chromium {render['changes'][0] * 1000:.1f} ms"
          f" ({render['changes'][1]} runs);" + open(os.path.join(results, "changes.txt")).read().split(":", 1)[1].rstrip())
    net = (render["now"][0] - render["empty"][0]) / (render["before"][0] - render["empty"][0])
    print(f"  {'dashboard render, net of the empty':34} now / before {net:.3f} (for information: the target is on whole runs)")
    print(f"  {'peak memory, 10,000 installations':34} {rss:.1f} MiB to CSV, {rss_html:.1f} MiB with --html "
          f"(before: {rss_html_before:.1f} MiB)")
    line("--reference, 1,000 installations", reference)
    requests_file = os.path.join(results, "reference-requests.txt")
    if os.path.exists(requests_file):
        per_installation, least = map(float, open(requests_file).read().split())
        print(f"  {'--reference, requests on a share':34} {per_installation:.1f} per installation (look-ups, opens, "
              f"reads, status), the bytes' own minimum {least:.1f}")
print()

targets = [] if only else [
    ("vudfleet / loop of vudcheck, local", local["vudfleet"][0] / local["loop"][0], "<=", 0.5),
    ("vudfleet / cat of every file, local", local["vudfleet"][0] / local["cat"][0], "<=", 0.5),
    ("vudfleet / loop of vudcheck, slow share", share["vudfleet"][0] / share["loop"][0], "<=", 0.15),
    ("one of 50 hanging, --timeout 5, seconds", hang["hanging"][0], "<=", round(5 + 1.2 * hang["alone"][0], 3)),
    ("one of 50 held, --timeout 3, pipe closed, s", held, "<=", 5),
    ("peak memory, 10,000 installations, MiB", rss, "<=", 64),
    ("peak memory, 10,000 with --html, MiB", rss_html, "<=", 64),
    ("dashboard bytes, now / before", page_now / page_before, "<=", 0.2),
    ("dashboard render time, now / before", render["now"][0] / render["before"][0], "<=", 0.2),
    ("vudfleet --reference / sha256sum, 1,000", reference["reference"][0] / reference["sha256sum"][0], "<=", 1.2),
    ("vudfleet without --reference / before, 1,000", reference["without"][0] / reference["before"][0], "<=", 1.02),
]
targets.append(("vudfleet --baseline / without, 1,000", baseline["with"][0] / baseline["without"][0], "<=", 1.2))
targets.append(("peak memory, baseline of 100,000, MiB", large[2], "<=", 64))
missed = 0
for what, value, sense, limit in targets:
    met = value <= limit
    missed += not met
    print(f"  {what:42} {value:8.3f}   target {sense} {limit:<5} {'met' if met else 'MISSED'}")
if not only:
    print()
    with open(os.path.join(results, "report-reading.txt")) as f:
        reading = f.read()
    print(reading, end="")
    missed += reading.count("MISSED") + reading.count("MISREAD") + (0 if "ratio" in reading else 1)
sys.exit(1 if missed else 0)
PYTHON

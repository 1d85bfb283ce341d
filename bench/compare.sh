#!/usr/bin/env bash
# Times a whole vudcheck run against the least it can cost, reading the same bytes with
# cat, and against the shell loop a user would write instead (grep for the tag and stat
# for the size, file by file); then the same on a folder of 1 GiB sparse files; then
# the run's peak resident memory. Prints the medians, the ratios and whether each
# target is met; exits 1 when one is missed.
#
#   bench/compare.sh [--quick]
#
# --quick leaves out the user's loop over the sparse files, which reads 41 GiB and
# holds each 1 GiB file in memory: minutes, and 2 GiB of memory.
# VUD_COMPARE_BUILD names the build folder (default build-bench/compare in the tree).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${VUD_COMPARE_BUILD:-$repo/build-bench/compare}
quick=0
for argument in "$@"; do
  case $argument in
    --quick) quick=1 ;;
    *) echo "usage: $0 [--quick]" >&2; exit 2 ;;
  esac
done

# Tools: hyperfine and GNU time come from Debian packages of the same names.
missing=()
command -v hyperfine >/dev/null || missing+=(hyperfine)
[[ -x /usr/bin/time ]] || missing+=(time)
command -v python3 >/dev/null || missing+=(python3)
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
if ((${#missing[@]})); then
  if ((EUID != 0)); then
    echo "compare.sh: needs ${missing[*]}; run as root to install them with apt-get" >&2
    exit 2
  fi
  echo "== installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

echo "== building vudcheck and vudsample (Release) in $build"
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target vudcheck vudsample >/dev/null
vudcheck=$(find "$build" -type f -name vudcheck -perm -u+x | head -n 1)
vudsample=$(find "$build" -type f -name vudsample -perm -u+x | head -n 1)
[[ -n $vudcheck && -n $vudsample ]] || { echo "compare.sh: build produced no programs" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vudcheck-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
correct=$work/correct
sparse=$work/sparse
results=$work/results
mkdir -p "$sparse" "$results"

echo "== writing a complete, correct installation for FWP 11.0 in $correct"
"$vudsample" "$correct" 11.0 --correct-only
(cd "$correct" && "$vudcheck" | tail -n 1)

# Each file's first 4 KiB, tag included, then a hole up to 1 GiB: the run must not
# read what lies beyond the image it holds.
echo "== writing the same applications as 1 GiB sparse files in $sparse"
for file in "$correct"/*.ma; do
  head -c 4096 "$file" >"$sparse/${file##*/}"
  truncate -s 1G "$sparse/${file##*/}"
done
echo "   $(du -sh "$sparse" | cut -f1) on disk for $(ls "$sparse" | wc -l) files of $(stat -c %s "$sparse/vud_mcp.ma") bytes"

# One word for hyperfine's command splitting.
quote() { local text=${1//\'/\'\\\'\'}; printf "'%s'" "$text"; }
user_loop='for f in *.ma; do grep -a -o '\''ver [0-9.]*'\'' "$f" | head -1; stat -c %s "$f"; done'
cd "$correct"
files=(*.ma)

echo
echo "== machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), load $(cut -d' ' -f1-3 /proc/loadavg)"

echo
echo "== 1. correct installation: vudcheck, cat of the same 41 files, the user's loop"
hyperfine -N --style basic --warmup 5 --runs 40 --export-json "$results/correct.json" \
  -n vudcheck "$vudcheck" \
  -n cat "cat ${files[*]}" \
  -n user-loop "sh -c $(quote "$user_loop")"

echo
echo "== 2. vudcheck on the sparse files against the correct installation"
# Both change folder in the shell, whose start hyperfine measures and takes off.
hyperfine --style basic --warmup 20 --runs 200 --export-json "$results/sparse-vs-correct.json" \
  -n vudcheck-correct "cd $(quote "$correct") && exec $(quote "$vudcheck")" \
  -n vudcheck-sparse "cd $(quote "$sparse") && exec $(quote "$vudcheck")"

echo
echo "== 3. sparse files: vudcheck and cat of the same 41 files (41 GiB)"
cd "$sparse"
hyperfine -N --style basic --runs 3 --export-json "$results/sparse.json" \
  -n vudcheck "$vudcheck" \
  -n cat "cat ${files[*]}"
if ((quick)); then
  echo "   the user's loop over the sparse files: left out (--quick)"
else
  echo "   the user's loop over the sparse files, once:"
  /usr/bin/time -f '%e %M' -o "$results/sparse-loop.txt" sh -c "$user_loop" >/dev/null
  read -r seconds kilobytes <"$results/sparse-loop.txt"
  echo "   $seconds s, peak memory $((kilobytes / 1024)) MiB"
  echo "$seconds" >"$results/sparse-loop-seconds.txt"
fi

echo
echo "== 4. peak resident memory of a run (largest of 5)"
peak() {
  local folder=$1 largest=0 kilobytes
  for _ in 1 2 3 4 5; do
    kilobytes=$(cd "$folder" && /usr/bin/time -f %M "$vudcheck" 2>&1 >/dev/null | tail -n 1)
    ((kilobytes > largest)) && largest=$kilobytes
  done
  echo "$largest"
}
peak "$correct" >"$results/rss-correct.txt"
peak "$sparse" >"$results/rss-sparse.txt"

echo
echo "== summary (medians; load at the end $(cut -d' ' -f1-3 /proc/loadavg))"
python3 - "$results" <<'PYTHON'
import json, os, sys

folder = sys.argv[1]

def medians(name):
    with open(os.path.join(folder, name)) as f:
        return {r["command"]: r["median"] for r in json.load(f)["results"]}

def ms(seconds):
    return f"{seconds * 1000:9.2f} ms"

correct = medians("correct.json")
versus = medians("sparse-vs-correct.json")
sparse = medians("sparse.json")
rss = max(int(open(os.path.join(folder, f)).read()) for f in ("rss-correct.txt", "rss-sparse.txt"))

print(f"  correct installation   vudcheck {ms(correct['vudcheck'])}   cat {ms(correct['cat'])}"
      f"   user's loop {ms(correct['user-loop'])}")
print(f"  sparse files           vudcheck {ms(sparse['vudcheck'])}   cat {ms(sparse['cat'])}", end="")
loop_file = os.path.join(folder, "sparse-loop-seconds.txt")
if os.path.exists(loop_file):
    print(f"   user's loop {float(open(loop_file).read()):9.1f} s (one run)")
else:
    print()
print(f"  vudcheck, shell start taken off: correct {ms(versus['vudcheck-correct'])}"
      f"   sparse {ms(versus['vudcheck-sparse'])}")
print()

targets = [
    ("vudcheck / cat, correct installation", correct["vudcheck"] / correct["cat"], "<=", 1.5),
    ("user's loop / vudcheck, correct installation", correct["user-loop"] / correct["vudcheck"], ">=", 10),
    ("vudcheck sparse / vudcheck correct", versus["vudcheck-sparse"] / versus["vudcheck-correct"], "<=", 2),
    ("peak resident memory of a run, MiB", rss / 1024, "<=", 4),
]
missed = 0
for what, value, sense, limit in targets:
    met = value <= limit if sense == "<=" else value >= limit
    missed += not met
    print(f"  {what:46} {value:8.2f}   target {sense} {limit:<4}  {'met' if met else 'MISSED'}")
sys.exit(1 if missed else 0)
PYTHON

#!/usr/bin/env bash
# Times whole vudcheck runs and counts the bytes they read, on three installations:
#   sample  the sample maker's complete, correct FWP 11.0 installation, every tag near
#           the start of its file;
#   deep    the same builds with each tag tens to hundreds of KB in (--deep-tags);
#   sparse  the sample's files grown to 1 GiB sparse files.
# Every command runs as `sh -c 'exec COMMAND > /dev/null'`, so none pays for a pipe and
# each pays for the same shell. vudcheck is set against `cat` of the same 41 files,
# against a floor that only opens each file and reads its first 4 KiB (bench/first_block.c,
# one small process), and against the shell loop a user would write instead (grep for
# the tag and stat for the size, file by file). The bytes a run reads from the
# application files are counted from its traced read calls and set against the bytes
# its report needs: each file as far as the end of its tag. Its read calls on the deep
# tags are set against those of a loader that reads blocks of the first block's size
# all the way to each tag. With FUSE at hand (group benchmarks of tools/packages),
# the deep tags are also read through a file system that answers every request 1 ms
# late, as a share whose files the host product holds open does (bench/slow_share.cpp,
# which the fleet benchmark uses too). Prints
# the medians, the ratios and whether each target is met; exits 1 when one is missed.
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

# Tools and libraries: groups build and benchmarks of tools/packages, installed when
# missing (as root or through sudo).
"$repo/tools/setup" build benchmarks

echo "== building vudcheck and vudsample (Release) in $build"
cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target vudcheck vudsample >/dev/null
vudcheck=$(find "$build" -type f -name vudcheck -perm -u+x | head -n 1)
vudsample=$(find "$build" -type f -name vudsample -perm -u+x | head -n 1)
[[ -n $vudcheck && -n $vudsample ]] || { echo "compare.sh: build produced no programs" >&2; exit 1; }
floor=$build/first_block
cc -O2 -o "$floor" "$repo/bench/first_block.c"
# The loader's first and largest read blocks, from its own header: the bounds on the
# bytes read allow one of them a file.
c++ -std=c++20 -I "$repo/src" -o "$build/read_blocks" "$repo/bench/read_blocks.cpp"
read -r first_block largest_block < <("$build/read_blocks")
echo "   the loader reads $first_block bytes first, then blocks that double up to $largest_block"
# The file system that answers every request late, when FUSE is at hand.
slow_fs=
if pkg-config --exists fuse3 2>/dev/null && [[ -w /dev/fuse ]] && command -v fusermount3 >/dev/null; then
  slow_fs=$build/slow_share
  c++ -std=c++20 -O2 -o "$slow_fs" "$repo/bench/slow_share.cpp" $(pkg-config --cflags --libs fuse3)
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vudcheck-compare.XXXXXX")
trap '{ fusermount3 -u -z "$work/slow" 2>/dev/null || true; }; rm -rf "$work"' EXIT
sample=$work/sample
deep=$work/deep
sparse=$work/sparse
results=$work/results
mkdir -p "$sparse" "$results"

echo "== writing a complete, correct installation for FWP 11.0 in $sample, tags near the start"
"$vudsample" "$sample" 11.0 --correct-only
(cd "$sample" && "$vudcheck" | tail -n 1)
echo "== writing the same builds with their tags deep in, in $deep"
"$vudsample" "$deep" 11.0 --correct-only --deep-tags
(cd "$deep" && "$vudcheck" | tail -n 1)

# Each file's first 4 KiB, tag included, then a hole up to 1 GiB: the run must not
# read what lies beyond its tag.
echo "== writing the same applications as 1 GiB sparse files in $sparse"
for file in "$sample"/*.ma; do
  head -c 4096 "$file" >"$sparse/${file##*/}"
  truncate -s 1G "$sparse/${file##*/}"
done
echo "   $(du -sh "$sparse" | cut -f1) on disk for $(ls "$sparse" | wc -l) files of $(stat -c %s "$sparse/vud_mcp.ma") bytes"

# One word for the shell and for hyperfine's command splitting.
quote() { local text=${1//\'/\'\\\'\'}; printf "'%s'" "$text"; }
# A command line run the one way every command is run: exec'd by sh, output to /dev/null.
through_sh() { printf 'sh -c %s' "$(quote "exec $1 >/dev/null")"; }
user_loop='for f in *.ma; do grep -a -o '\''ver [0-9.]*'\'' "$f" | head -1; stat -c %s "$f"; done'
cd "$sample"
files=(*.ma)
vudcheck_q=$(quote "$vudcheck")
floor_q=$(quote "$floor")

echo
echo "== machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), load $(cut -d' ' -f1-3 /proc/loadavg)"

# Times the named commands in the working folder: five rounds of hyperfine, so that a
# change in the machine's load while it runs falls on every command alike; the runs of
# all rounds are pooled.
time_rounds() {
  local name=$1 runs=$2
  shift 2
  for round in 1 2 3 4 5; do
    hyperfine -N --style none --warmup 3 --runs "$runs" --export-json "$results/$name-$round.json" "$@" >/dev/null
  done
}

echo
echo "== 1. sample installation: vudcheck, cat of the same 41 files, the floor, the user's loop"
time_rounds sample 30 \
  -n vudcheck "$(through_sh "$vudcheck_q")" \
  -n cat "$(through_sh "cat ${files[*]}")" \
  -n floor "$(through_sh "$floor_q ${files[*]}")" \
  -n user-loop "sh -c $(quote "{ $user_loop; } >/dev/null")"

echo
echo "== 2. deep tags: vudcheck, cat of the same 41 files, the floor"
cd "$deep"
time_rounds deep 30 \
  -n vudcheck "$(through_sh "$vudcheck_q")" \
  -n cat "$(through_sh "cat ${files[*]}")" \
  -n floor "$(through_sh "$floor_q ${files[*]}")"

echo
echo "== 3. vudcheck on the sparse files against the sample installation"
# Both change folder in the shell first.
time_rounds sparse-vs-sample 40 \
  -n vudcheck-sample "sh -c $(quote "cd $(quote "$sample") && exec $vudcheck_q >/dev/null")" \
  -n vudcheck-sparse "sh -c $(quote "cd $(quote "$sparse") && exec $vudcheck_q >/dev/null")"

echo
echo "== 4. sparse files: vudcheck and cat of the same 41 files (41 GiB)"
cd "$sparse"
hyperfine -N --style basic --runs 3 --export-json "$results/sparse.json" \
  -n vudcheck "$(through_sh "$vudcheck_q")" \
  -n cat "$(through_sh "cat ${files[*]}")"
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
echo "== 5. bytes read from the application files, from the run's traced read calls"
for installation in sample deep sparse; do
  folder=$work/$installation
  (cd "$folder" && strace -qq -y -e trace=read,pread64,readv,preadv,preadv2 -o "$results/$installation.trace" \
    "$vudcheck" >/dev/null)
done

echo
echo "== 6. deep tags through a file system that answers every request 1 ms late"
if [[ -n $slow_fs ]]; then
  mkdir -p "$work/slow"
  "$slow_fs" "$deep" "$work/slow" 1000 2>"$results/slow_fs.err" &
  slow_fs_pid=$!
  for _ in $(seq 200); do mountpoint -q "$work/slow" && break; sleep 0.05; done
  if mountpoint -q "$work/slow"; then
    hyperfine -N --style basic --warmup 1 --runs 10 --export-json "$results/slow.json" \
      -n vudcheck "sh -c $(quote "cd $(quote "$work/slow") && exec $vudcheck_q >/dev/null")"
    fusermount3 -u "$work/slow"
  else
    echo "   left out: the file system did not come up ($(cat "$results/slow_fs.err"))"
  fi
  wait "$slow_fs_pid" || true
else
  echo "   left out: needs FUSE (tools/setup benchmarks, and a writable /dev/fuse)"
fi

echo
echo "== 7. peak resident memory of a run (largest of 5)"
peak() {
  local folder=$1 largest=0 kilobytes
  for _ in 1 2 3 4 5; do
    kilobytes=$(cd "$folder" && /usr/bin/time -f %M "$vudcheck" 2>&1 >/dev/null | tail -n 1)
    ((kilobytes > largest)) && largest=$kilobytes
  done
  echo "$largest"
}
for installation in sample deep sparse; do peak "$work/$installation" >"$results/rss-$installation.txt"; done

echo
echo "== summary (medians; load at the end $(cut -d' ' -f1-3 /proc/loadavg))"
python3 - "$work" "$first_block" "$largest_block" <<'PYTHON'
import glob, json, math, os, re, statistics, sys

work, first_block, largest_block = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
results = os.path.join(work, "results")

def medians(name):
    pooled = {}
    for path in sorted(glob.glob(os.path.join(results, name + "-[0-9].json"))) or [os.path.join(results, name + ".json")]:
        with open(path) as f:
            for r in json.load(f)["results"]:
                pooled.setdefault(r["command"], []).extend(r["times"])
    return {command: statistics.median(times) for command, times in pooled.items()}

def ms(seconds):
    return f"{seconds * 1000:8.2f} ms"

# The bytes a report needs of each file: as far as the end of its first tag (the whole
# file when it has none, as far as the image of 400,000 bytes holds it).
def needed_each(folder):
    for path in glob.glob(os.path.join(folder, "*.ma")):
        with open(path, "rb") as f:
            head = f.read(400000)
        at = head.find(b"ver ")
        yield min(len(head), at + 12) if at >= 0 else len(head)

def needed(folder):
    return sum(needed_each(folder))

# The reads of a loader that reads blocks of the first block's size as far as each tag.
def reads_in_first_blocks(folder):
    return sum(max(1, math.ceil(need / first_block)) for need in needed_each(folder))

# Bytes and calls of the reads from application files; strace -y names each descriptor.
read_line = re.compile(r'^\w*read\w*\((\d+)<([^>]*)>.*\)\s+=\s+(-?\d+)')
def bytes_read(installation):
    count = calls = 0
    with open(os.path.join(results, installation + ".trace")) as f:
        for line in f:
            m = read_line.match(line)
            if m and m.group(2).endswith(".ma"):
                calls += 1
                count += max(0, int(m.group(3)))
    return count, calls

sample = medians("sample")
deep = medians("deep")
versus = medians("sparse-vs-sample")
sparse = medians("sparse")
files = len(glob.glob(os.path.join(work, "sample", "*.ma")))

print(f"  {'':22} {'vudcheck':>11} {'cat':>11} {'floor':>11} {'user loop':>12}")
print(f"  {'sample':22} {ms(sample['vudcheck'])} {ms(sample['cat'])} {ms(sample['floor'])} {ms(sample['user-loop'])}")
print(f"  {'deep tags':22} {ms(deep['vudcheck'])} {ms(deep['cat'])} {ms(deep['floor'])}")
loop_file = os.path.join(results, "sparse-loop-seconds.txt")
loop = f"{float(open(loop_file).read()):9.1f} s (one run)" if os.path.exists(loop_file) else "(left out)"
print(f"  {'sparse 1 GiB files':22} {ms(sparse['vudcheck'])} {sparse['cat']:9.2f} s {'':11} {loop}")
print(f"  vudcheck, the folder changed first: sample {ms(versus['vudcheck-sample'])}   sparse {ms(versus['vudcheck-sparse'])}")
print()
# Every tag of the sample and the sparse files lies in the first block, so a file is
# read past its tag by less than that block; a deep tag by less than the largest.
bounds = {}
calls_of = {}
print(f"  {'':16} {'bytes read':>10} {'read calls':>10} {'report needs':>12} {'allowed':>10}")
for installation, slack in (("sample", first_block), ("deep", largest_block), ("sparse", first_block)):
    count, calls = bytes_read(installation)
    calls_of[installation] = calls
    need = needed(os.path.join(work, installation))
    bounds[installation] = (count, need + files * slack)
    print(f"  {installation:16} {count:10} {calls:10} {need:12} {need + files * slack:10} (+ {slack} a file)")
first_block_reads = reads_in_first_blocks(os.path.join(work, "deep"))
print(f"  reads of {first_block} bytes each as far as every deep tag: {first_block_reads}")
slow_file = os.path.join(results, "slow.json")
if os.path.exists(slow_file):
    print(f"  deep tags through 1 ms a read: vudcheck {ms(medians('slow')['vudcheck'])}")
rss = max(int(open(os.path.join(results, f"rss-{i}.txt")).read()) for i in ("sample", "deep", "sparse"))
print()

targets = [
    ("bytes read / allowed, sample", bounds["sample"][0] / bounds["sample"][1], "<=", 1),
    ("bytes read / allowed, deep tags", bounds["deep"][0] / bounds["deep"][1], "<=", 1),
    ("bytes read / allowed, sparse files", bounds["sparse"][0] / bounds["sparse"][1], "<=", 1),
    ("3 x read calls / first-block reads, deep", 3 * calls_of["deep"] / first_block_reads, "<=", 1),
    ("vudcheck / cat, sample", sample["vudcheck"] / sample["cat"], "<=", 0.5),
    ("vudcheck / floor, sample", sample["vudcheck"] / sample["floor"], "<=", 1.25),
    ("vudcheck / cat, deep tags", deep["vudcheck"] / deep["cat"], "<=", 0.8),
    ("user's loop / vudcheck, sample", sample["user-loop"] / sample["vudcheck"], ">=", 10),
    ("vudcheck sparse / vudcheck sample", versus["vudcheck-sparse"] / versus["vudcheck-sample"], "<=", 2),
    ("peak resident memory of a run, MiB", rss / 1024, "<=", 4),
]
missed = 0
for what, value, sense, limit in targets:
    met = value <= limit if sense == "<=" else value >= limit
    missed += not met
    print(f"  {what:40} {value:8.2f}   target {sense} {limit:<5} {'met' if met else 'MISSED'}")
sys.exit(1 if missed else 0)
PYTHON

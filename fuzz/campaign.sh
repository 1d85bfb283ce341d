#!/usr/bin/env bash
# A fuzz campaign: every fuzz target for HOURS (fractions allowed) on all cores, then
# whatever found new coverage merged into fuzz/corpus/<target>, so that the corpus
# grows only with new coverage. Prints each target's executions, coverage and
# findings, and exits 1 when any target found a fault.
#
#   fuzz/campaign.sh HOURS
#
# Builds the fuzz targets (address and undefined-behaviour sanitizers, libFuzzer) with
# the `fuzz` preset in build-fuzz/, copies them into build-fuzz/campaign-<time>/, and
# keeps there each process's log, the inputs it found, and any finding.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ $# -ne 1 ]] || ! [[ $1 =~ ^[0-9]*\.?[0-9]+$ ]]; then
  echo "usage: fuzz/campaign.sh HOURS   (for instance 0.5)" >&2
  exit 2
fi
seconds=$(awk -v hours="$1" 'BEGIN { printf "%d", hours * 3600 + 0.5 }')
if ((seconds < 1)); then
  echo "fuzz/campaign.sh: $1 hours is less than a second" >&2
  exit 2
fi

targets=(application tag_finder report_reader)
cores=$(nproc)
per_target=$((cores / ${#targets[@]}))
((per_target >= 1)) || per_target=1

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$cores" >/dev/null

run="build-fuzz/campaign-$(date +%Y%m%d-%H%M%S)"
mkdir -p "$run"
echo "campaign: ${#targets[@]} targets x $per_target processes for $seconds s, in $run"

pids=()
for target in "${targets[@]}"; do
  mkdir -p "$run/$target/found" "$run/$target/findings"
  # A copy, so that rebuilding build-fuzz during the campaign changes nothing in it.
  cp "build-fuzz/fuzz/${target}_fuzzer" "$run/$target/fuzzer"
  for ((process = 1; process <= per_target; process++)); do
    # New inputs go to found/, which the processes of one target share; the checked-in
    # corpus is only read.
    "$run/$target/fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
      -dict="fuzz/$target.dict" -artifact_prefix="$run/$target/findings/" \
      "$run/$target/found" "fuzz/corpus/$target" >"$run/$target/log.$process" 2>&1 &
    pids+=($!)
  done
done

status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done

# What a line "stat::name: value" of a target's logs says, summed over its processes.
stat_sum() { cat "$run/$1"/log.* | awk -v name="stat::$2:" '$1 == name { sum += $2 } END { print sum + 0 }'; }

echo
printf '%-12s %14s %10s %8s %8s %8s %9s %6s\n' target executions exec/s cov ft corpus findings slow
total=0
for target in "${targets[@]}"; do
  executions=$(stat_sum "$target" number_of_executed_units)
  total=$((total + executions))
  # libFuzzer also notes there the slowest input so far (slow-unit-*), which breaks
  # nothing: those are counted apart, to be replayed and timed.
  findings=$(find "$run/$target/findings" -type f ! -name 'slow-unit-*' | wc -l)
  slow=$(find "$run/$target/findings" -type f -name 'slow-unit-*' | wc -l)
  # -merge=1 adds to the checked-in corpus only the inputs that bring coverage it lacks.
  "$run/$target/fuzzer" -merge=1 "fuzz/corpus/$target" "$run/$target/found" >"$run/$target/merge.log" 2>&1
  # Replaying the merged corpus once gives the coverage it reaches.
  "$run/$target/fuzzer" -runs=0 "fuzz/corpus/$target" >"$run/$target/coverage.log" 2>&1
  read -r cov ft corpus < <(awk '/INITED/ { for (i = 1; i < NF; i++) { if ($i == "cov:") c = $(i + 1);
                                  if ($i == "ft:") f = $(i + 1); if ($i == "corp:") n = $(i + 1) } }
                                END { print c, f, n }' "$run/$target/coverage.log")
  printf '%-12s %14d %10d %8s %8s %8s %9d %6d\n' "$target" "$executions" $((executions / seconds)) \
    "$cov" "$ft" "${corpus%%/*}" "$findings" "$slow"
  grep -h 'MERGE-OUTER: [0-9]* new files' "$run/$target/merge.log" | sed "s/^/  $target: /" || true
done
echo "all targets: $total executions in $seconds s"

if ((status != 0)); then
  echo "FINDINGS: see the logs and inputs under $run/*/findings/" >&2
  exit 1
fi

#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build folder for SECONDS seconds each, two at a time, and
# fails when one of them reports a crash, a hang (an input over 1 s), a leak or a sanitizer
# error. Usage: scripts/fuzz.sh BUILD_DIR SECONDS [target...]
# Corpora grow in BUILD_DIR/fuzz/corpus/<target>; findings land in BUILD_DIR/fuzz/findings/<target>;
# each target's log is BUILD_DIR/fuzz/logs/<target>.log.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:?build folder}
seconds=${2:?seconds per target}
shift 2
dir=$build/fuzz
parallel=${FUZZ_PARALLEL:-2}

mapfile -t lines < "$dir/targets.txt"
declare -A dicts
targets=()
for l in "${lines[@]}"; do
  name=${l%% *}
  dicts[$name]=${l#* }
  targets+=("$name")
done
[ $# -gt 0 ] && targets=("$@")

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen

run_one() {
  local t=$1
  local seeds=$dir/seeds/$t corpus=$dir/corpus/$t findings=$dir/findings/$t/
  cmake -DFUZZER="$t" -DSOURCE="$PWD" -DOUT="$seeds" -P fuzz/seeds.cmake || return 1
  mkdir -p "$corpus" "$findings" "$dir/logs"
  local dict=()
  [ "${dicts[$t]:--}" != "-" ] && dict=(-dict="${dicts[$t]}")
  "$dir/$t" "${dict[@]}" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$findings" "$corpus" "$seeds" > "$dir/logs/$t.log" 2>&1
  local rc=$?
  local execs
  execs=$(grep -m1 'stat::number_of_executed_units' "$dir/logs/$t.log" | awk '{print $2}')
  if [ $rc -eq 0 ]; then
    echo "fuzz $t: ok, ${execs:-?} runs in ${seconds}s"
  else
    echo "fuzz $t: FAILED (exit $rc), see $dir/logs/$t.log and $findings"
    grep -m3 -E 'ERROR|runtime error|check failed|Timeout|leak' "$dir/logs/$t.log" | sed 's/^/  /'
  fi
  return $rc
}

failed=0
running=0
for t in "${targets[@]}"; do
  if [ $running -ge "$parallel" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_one "$t" &
  running=$((running + 1))
done
while [ $running -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed

#!/usr/bin/env bash
# Runs every fuzz target of the sanitize build for a given time each, outside
# CI, and prints the executions and the coverage reached per target.
#
#   scripts/fuzz-long.sh [options] <seconds per target>
#     --jobs N        targets run at once (default 1; the fuzzers use one core each)
#     --work DIR      where the grown corpora, logs and findings go
#                     (default build/fuzz-long; kept between runs, so a second
#                     run starts from what the first one found)
#     --only NAME     run this target only (repeatable)
#     --update-seeds  at the end, merge into fuzz/corpus/<target>/ the entries
#                     that add coverage to the seed corpus (libFuzzer -merge=1)
#
# The seed corpus in fuzz/corpus/ is only read unless --update-seeds is given.
# Each target runs from a copy of its binary, so rebuilding the sanitize
# preset during a run changes nothing. Crashes, leaks, timeouts and
# out-of-memory inputs land in <work>/<target>/findings/; the script exits
# non-zero when any target left one. A finding then becomes a named
# regression case: a unit test, and the input under fuzz/corpus/<target>/.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$SHEETWALK_ROOT"

jobs=1
work=build/fuzz-long
update_seeds=false
only=()
seconds=""
while [ $# -gt 0 ]; do
  case $1 in
    --jobs) jobs=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --only) only+=("$2"); shift 2 ;;
    --update-seeds) update_seeds=true; shift ;;
    -h|--help) sed -n '2,19s/^# \{0,1\}//p' "$0"; exit 0 ;;
    -*) die "unknown option $1" ;;
    *) [ -z "$seconds" ] || die "one time only"; seconds=$1; shift ;;
  esac
done
[[ "$seconds" =~ ^[1-9][0-9]*$ ]] || die "usage: scripts/fuzz-long.sh [--jobs N] [--work DIR] [--only NAME] [--update-seeds] <seconds>"
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || die "--jobs takes a positive number"

fuzz_bin=build/sanitize/fuzz
targets=()
for binary in "$fuzz_bin"/*_fuzzer; do
  [ -x "$binary" ] || continue
  name=$(basename "$binary")
  if [ ${#only[@]} -gt 0 ] && ! printf '%s\n' "${only[@]}" | grep -qx "$name"; then continue; fi
  targets+=("$name")
done
[ ${#targets[@]} -gt 0 ] || die "no fuzz targets in $fuzz_bin: cmake --preset sanitize && cmake --build --preset sanitize"
mkdir -p "$work"
work=$(cd "$work" && pwd)

# One target: its grown corpus first (libFuzzer writes new entries into the
# first folder only), then the read-only seed corpus.
run_target() {
  local name=$1 dir="$work/$1"
  mkdir -p "$dir/corpus" "$dir/findings"
  cp "$fuzz_bin/$name" "$dir/$name.bin"
  local seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("$SHEETWALK_ROOT/fuzz/corpus/$name")
  local rc=0
  # -timeout: an input that takes longer than this is a hang, which the plug-in
  # must never show inside the player. No -max_len: the corpus sets it, or the
  # target its own. It runs in its work folder, where libFuzzer writes what it
  # puts in the current folder (the fuzz-N.log of -jobs and -fork).
  (cd "$dir" && "$dir/$name.bin" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 \
    -print_final_stats=1 -artifact_prefix="$dir/findings/" \
    "$dir/corpus" "${seeds[@]}" >"$dir/log" 2>&1) || rc=$?
  echo "$rc" >"$dir/exit"
}

# Executions and coverage from the run's log: libFuzzer's final statistics
# and its last status line ("#N DONE cov: C ft: F corp: ...").
summarise() {
  local name=$1 dir="$work/$1"
  local execs rate added status cov ft corp findings rc
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log" | tail -1)
  added=$(sed -n 's/^stat::new_units_added: *//p' "$dir/log" | tail -1)
  status=$(grep -E '^#[0-9]+.*cov: ' "$dir/log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$status")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$status")
  corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9]*[a-zA-Z]*\).*/\1/p' <<<"$status")
  findings=$(find "$dir/findings" -type f | wc -l)
  rc=$(cat "$dir/exit" 2>/dev/null || echo "?")
  printf '%-26s %8ss %12s %8s %6s %7s %14s %6s %8s %5s\n' "$name" "$seconds" "${execs:-?}" "${rate:-?}" \
    "${cov:-?}" "${ft:-?}" "${corp:-?}" "${added:-?}" "$findings" "$rc"
}

log "fuzzing ${targets[*]} for ${seconds}s each, $jobs at a time; work folder $work"
running=0
for name in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  log "$name"
  run_target "$name" &
  running=$((running + 1))
done
wait || true

if $update_seeds; then
  for name in "${targets[@]}"; do
    mkdir -p "fuzz/corpus/$name"
    log "merging new coverage of $name into fuzz/corpus/$name"
    (cd "$work/$name" && "./$name.bin" -merge=1 "$SHEETWALK_ROOT/fuzz/corpus/$name" "$work/$name/corpus" \
      >"$work/$name/merge.log" 2>&1) || die "merge of $name failed; see $work/$name/merge.log"
  done
fi

printf '\n%-26s %9s %12s %8s %6s %7s %14s %6s %8s %5s\n' target time executions exec/s cov ft corpus new findings exit
status=0
for name in "${targets[@]}"; do
  summarise "$name"
  if [ -n "$(find "$work/$name/findings" -type f -print -quit)" ] || [ "$(cat "$work/$name/exit")" != 0 ]; then
    status=1
  fi
done
if [ $status -ne 0 ]; then
  log "findings (reproduce with the target binary and the file):"
  find "$work" -path '*/findings/*' -type f -printf '  %p\n' >&2
fi
exit $status

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz) and runs each for
# SECONDS_PER_TARGET seconds (default 60) on a copy of its seed corpus, so the
# corpus in the repository stays as it is. Prints the executions per target and
# fails when a target crashes, leaks, hangs or breaks an invariant; the input
# that did it is kept in build-fuzz/fuzz-findings/<target>/.
# BACKTRAIL_FUZZ_TARGETS narrows the run to some targets.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build="${BACKTRAIL_FUZZ_BUILD_DIR:-build-fuzz}"
targets=(${BACKTRAIL_FUZZ_TARGETS:-fuzz_scan fuzz_dupes fuzz_export fuzz_rtf fuzz_text_to_bool})

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DBACKTRAIL_FUZZ=ON -DBACKTRAIL_BUILD_TESTS=OFF -DBACKTRAIL_WERROR=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target "${targets[@]}" -- -j2

work="$build/fuzz-run"
findings="$build/fuzz-findings"
rm -rf "$work"
mkdir -p "$work" "$findings"
export QT_QPA_PLATFORM=offscreen
failed=()
summary=()
for target in "${targets[@]}"; do
  corpus="$work/$target"
  mkdir -p "$corpus" "$findings/$target"
  cp -r "fuzz/corpus/$target/." "$corpus/"
  log="$work/$target.log"
  echo "== $target: ${seconds}s"
  status=0
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -print_final_stats=1 -artifact_prefix="$findings/$target/" "$corpus" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log"
    failed+=("$target")
    summary+=("$target: FAILED (exit $status) after ${runs:-?} executions; see $findings/$target/")
  else
    summary+=("$target: ${runs:-?} executions in ${seconds}s, corpus $(find "$corpus" -type f | wc -l) inputs")
  fi
done
echo "== fuzzing summary"
printf '%s\n' "${summary[@]}"
if [ "${#failed[@]}" -ne 0 ]; then
  echo "fuzzing found faults in: ${failed[*]}" >&2
  exit 1
fi

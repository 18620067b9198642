#!/usr/bin/env bash
# Scan speed and memory against GNU grep over the same generated log, in the
# same run:
#   bench/run.sh [SIZE_MB]     (default 1024; the log goes to $TMPDIR)
# Prints the time of `backtrail-scan --format json` and of
# `LC_ALL=C grep -c -i -F 'http://'`, their ratio (target: at most 3), the
# scanner's peak memory against the bytes of the referrer lines (target: at most
# 1.5 times those plus 100 MB), the same for a gzip-compressed copy against
# `zcat | grep` (target: at most 1.2), and the duplicate-removal benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
size_mb="${1:-1024}"
build=build-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBACKTRAIL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target backtrail-scan generate-log bench-dedupe >/dev/null
work="$(mktemp -d "${TMPDIR:-/tmp}/backtrail-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
own=www.own-site.example
log="$work/access.log"
echo "generating ${size_mb} MB log ..."
"$build/bench/generate-log" $((size_mb * 1024 * 1024)) "$own" >"$log"
export XDG_CONFIG_HOME="$work/config"

# Seconds and peak resident kilobytes of a command, best time of three runs
# (the first run also warms the page cache for both programs).
measure() {
  local best="" kb=0
  for _ in 1 2 3; do
    /usr/bin/time -f "%e %M" -o "$work/time" bash -c "$1" >/dev/null
    read -r secs rss <"$work/time"
    if [ -z "$best" ] || awk "BEGIN{exit !($secs < $best)}"; then best=$secs; fi
    [ "$rss" -gt "$kb" ] && kb=$rss
  done
  echo "$best $kb"
}

read -r grep_s _ < <(measure "LC_ALL=C grep -c -i -F 'http://' '$log' | cat")
read -r scan_s scan_kb < <(measure "'$build/src/cli/backtrail-scan' --quiet --domain $own --format json '$log' | cat")
ref_bytes=$(LC_ALL=C grep -i -F 'http://' "$log" | LC_ALL=C grep -v -i -F "$own" | wc -c)
limit_kb=$(( (ref_bytes * 3 / 2 + 100 * 1024 * 1024) / 1024 ))
echo "log: $(stat -c %s "$log") bytes, referrer lines: $ref_bytes bytes"
awk -v a="$scan_s" -v b="$grep_s" 'BEGIN{printf "plain: backtrail-scan %.2f s, grep -c %.2f s, ratio %.2f (target <= 3)\n", a, b, a/b}'
awk -v m="$scan_kb" -v l="$limit_kb" 'BEGIN{printf "peak memory: %.0f MB, limit %.0f MB, share of limit %.2f\n", m/1024, l/1024, m/l}'

gzip -1 -c "$log" >"$log.gz"
read -r zgrep_s _ < <(measure "zcat '$log.gz' | LC_ALL=C grep -c -i -F 'http://' | cat")
read -r zscan_s _ < <(measure "'$build/src/cli/backtrail-scan' --quiet --domain $own --format json '$log.gz' | cat")
awk -v a="$zscan_s" -v b="$zgrep_s" 'BEGIN{printf "gzip: backtrail-scan %.2f s, zcat | grep -c %.2f s, ratio %.2f (target <= 1.2)\n", a, b, a/b}'

"$build/bench/bench-dedupe"

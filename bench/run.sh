#!/usr/bin/env bash
# Scan speed and memory of backtrail-scan against GNU grep and zcat over the
# same generated log, all measured in the same run:
#   bench/run.sh [SIZE_MB]     (default 1024; the logs go to $TMPDIR)
# BACKTRAIL_BENCH_BUILD_DIR names the Release build folder (default build-bench).
#
# Each figure is printed with its target beside it:
#   on a typical log (about 1.5% of its referrer lines distinct):
#     scan / grep -c                        <= 0.8  (default threads)
#     scan --threads 1 / grep -c            <= 1.2
#   on the log of many referrers (about a million distinct), as every figure below:
#     scan / grep -c                        <= 1.2  (default threads)
#     scan --threads 1 / grep -c            <= 2.0
#   on both, two threads never slower than one: scan / scan --threads 1 <= 1.0
#   peak memory, duplicates removed         <= 100 MB + 2 x bytes of the unique referrers and landing pages
#   peak memory, the log 4 times over       within 10% of the peak for the log once
#   peak memory, a short log and then the log, against the log alone (printed, no target)
#   peak memory, duplicates kept            <= 100 MB + 1.5 x bytes of all referrers and landing pages
#   scan of a gzip copy / zcat | grep -c    <= 0.5
#   ten rotated gzip files / zcat | grep -c <= 0.3
#   backtrail-cluster --local 2 / backtrail-scan, 16 rotated gzip files  <= 1.15
#   backtrail-cluster: time added per file  < 50 ms
#   visitors: scan with crawler and spam lists, hiding both / scan with empty lists  <= 1.15
#   sources: scan with the shipped source lists / scan with empty source lists  <= 1.05
#   details: scan with --details / scan without  <= 1.25
#   window scan / backtrail-scan                 <= 1.1  (with BACKTRAIL_BENCH_WINDOW=1)
#   peak memory with --details              <= 100 MB + 2 x bytes of the unique (referrer, landing page)
#                                              pairs + 16 bytes a (referrer, day) pair
#   report: bytes of --format report / bytes of --format json --details  <= 0.5
#   report: time of --format report / time of --format json --details    <= 1.2
#   report in headless Chromium: status line shown <= 3 s, a search answered <= 0.5 s
#                                (where chromium, chromium-driver and python3-selenium are installed)
#   state, on the typical log: a --state run over it grown by 1% / the first run over the rest  <= 0.05
#          (and its output is that of one scan of the whole log)
# The visitors figure times --no-bots --no-spam with the shipped crawler and
# spam lists against a scan with an empty crawler list ("[]") and an empty spam
# list. The reference still looks for the user agent (an address that starts
# inside it is a crawler's whatever the lists say), so the figure measures what
# the lists and the hiding cost. The scan with the shipped lists that hides
# nothing is printed against the same reference, without a target.
# The referrer and landing-page bytes are summed from the scans' own JSON rows.
# Times are the best of three runs; peaks the largest of them.
set -euo pipefail
cd "$(dirname "$0")/.."
size_mb="${1:-1024}"
build="${BACKTRAIL_BENCH_BUILD_DIR:-build-bench}"
case "$build" in /*) ;; *) build="$(pwd)/$build" ;; esac
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBACKTRAIL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target backtrail-scan generate-log -- -j2 >/dev/null
scan="$build/src/cli/backtrail-scan"
[ -x "$scan" ] || { echo "bench: no scanner at $scan" >&2; exit 1; }
work="$(mktemp -d "${TMPDIR:-/tmp}/backtrail-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
own=www.own-site.example
log="$work/access.log"
echo "generating ${size_mb} MB log ..."
"$build/bench/generate-log" $((size_mb * 1024 * 1024)) "$own" >"$log"
export XDG_CONFIG_HOME="$work/config"
scan_args=(--quiet --domain "$own" --format json)

# A shell command that failed stops the benchmark: a figure of a scan that
# never ran would mean nothing.
run_timed() {
  if ! /usr/bin/time -f "$1" -o "$work/time" bash -o pipefail -c "$2" >/dev/null; then
    echo "bench: this command failed: $2" >&2
    exit 1
  fi
}

# Seconds (best of three runs) and peak resident kilobytes (largest of them)
# of a shell command, left in $measured; the first run also warms the page
# cache. Output goes through cat: grep stops at its first match when it
# writes to /dev/null.
measure() {
  local best="" kb=0 secs rss
  for _ in 1 2 3; do
    run_timed "%e %M" "$1"
    read -r secs rss <"$work/time"
    if [ -z "$best" ] || awk "BEGIN{exit !($secs < $best)}"; then best=$secs; fi
    [ "$rss" -gt "$kb" ] && kb=$rss
  done
  measured="$best $kb"
}

# Peak resident kilobytes of one run of a shell command.
peak() {
  run_timed "%M" "$1"
  cat "$work/time"
}

# Bytes (UTF-8) of the "referrer" and "landing" fields over the rows of the
# scanner's JSON output, read row by row; the row count is checked against the
# output's own unique_links.
row_bytes() {
  python3 - "$1" <<'EOF'
import json, sys
total = rows = 0
expected = None
with open(sys.argv[1], encoding="utf-8") as f:
    for line in f:
        text = line.strip().rstrip(",")
        if text.startswith('"unique_links":'):
            expected = int(text.split(":", 1)[1])
        elif text.startswith("{") and text.endswith("}"):
            row = json.loads(text)
            total += len(row["referrer"].encode()) + len(row["landing"].encode())
            rows += 1
if expected is None or rows != expected:
    sys.exit(f"bench: read {rows} rows of {sys.argv[1]}, it says {expected}")
print(total)
EOF
}

# "NAME: VALUE (target TEXT)" with VALUE = a / b to two places.
ratio_line() {
  awk -v name="$1" -v a="$2" -v b="$3" -v op="$4" -v t="$5" 'BEGIN{
    r = a / b; met = (op == "<=") ? (r <= t) : (r < t)
    printf "%s: %.2f (target %s %s)%s\n", name, r, op, t, met ? "" : "  MISSED"}'
}
mb() { awk -v k="$1" 'BEGIN{printf "%.0f MB", k / 1024}'; }

# Time against grep -c, with both cores and with one: "$1" names the log,
# "$2" its file, "$3" and "$4" the two targets. Leaves the default scan's peak
# in $scan_kb and its time in $scan_s.
time_figures() {
  local name=$1 file=$2 grep_s one_s rows lines
  lines=$(LC_ALL=C grep -c -i -F 'http://' "$file")
  rows=$("$scan" "${scan_args[@]}" --dupes "$file" | awk -F '[": ,]+' '
    /^ *"(links_found|unique_links)":/ {printf "%s%s %s", sep, $2, $3; sep = ", "}')
  echo "$name: $(stat -c %s "$file") bytes, $lines lines with http://, $rows"
  measure "LC_ALL=C grep -c -i -F 'http://' '$file' | cat"
  read -r grep_s _ <<<"$measured"
  measure "'$scan' ${scan_args[*]} --dupes '$file' | cat"
  read -r scan_s scan_kb <<<"$measured"
  measure "'$scan' ${scan_args[*]} --dupes --threads 1 '$file' | cat"
  read -r one_s _ <<<"$measured"
  echo "$name: grep -c: ${grep_s} s, backtrail-scan: ${scan_s} s, --threads 1: ${one_s} s, peak $(mb "$scan_kb")"
  ratio_line "$name: scan / grep" "$scan_s" "$grep_s" "<=" "$3"
  ratio_line "$name: scan --threads 1 / grep" "$one_s" "$grep_s" "<=" "$4"
  ratio_line "$name: scan / scan --threads 1" "$scan_s" "$one_s" "<=" 1.0
}

# A typical site's log: the same traffic, but a referrer comes back again and
# again (about 1.5% of the referrer lines are distinct).
"$build/bench/generate-log" --site-pages 1000 $((size_mb * 1024 * 1024)) "$own" >"$work/typical.log"
# A log that grew by 1%: a --state run over it after one over the first 99%,
# against that first run (a state made anew each time), and its output
# against one scan of the whole log. "$1" is the log.
state_figures() {
  local log=$1
  local grown="$work/grown.log" state_first_s state_next_s
  head -c $(($(stat -c %s "$log") * 99 / 100)) "$log" | sed '$d' >"$grown"
  measure "rm -f '$work/state.json'; '$scan' ${scan_args[*]} --dupes --state '$work/state.json' '$grown' | cat"
  read -r state_first_s _ <<<"$measured"
  cp "$work/state.json" "$work/state-99.json"
  tail -c +$(($(stat -c %s "$grown") + 1)) "$log" >>"$grown"
  cmp -s "$grown" "$log" || { echo "bench: the grown log is not the log" >&2; exit 1; }
  measure "cp '$work/state-99.json' '$work/state.json'; '$scan' ${scan_args[*]} --dupes --state '$work/state.json' '$grown' >'$work/state-out.json'"
  read -r state_next_s _ <<<"$measured"
  "$scan" "${scan_args[@]}" --dupes "$log" >"$work/whole.json"
  if diff -q <(grep -v -e '"files_done"' -e '"status"' "$work/state-out.json") \
    <(grep -v -e '"files_done"' -e '"status"' "$work/whole.json") >/dev/null; then
    echo "state: the run over the grown log prints what one scan of the whole log prints"
  else
    echo "state: the run over the grown log prints other results than one scan of the whole log  MISSED"
  fi
  echo "state: first run ${state_first_s} s, run over the log grown by 1% ${state_next_s} s, state $(mb $(($(stat -c %s "$work/state.json") / 1024)))"
  ratio_line "state: run over the log grown by 1% / first run" "$state_next_s" "$state_first_s" "<=" 0.05
  rm -f "$grown" "$work/state.json" "$work/state-99.json" "$work/state-out.json" "$work/whole.json"
}

time_figures "typical log" "$work/typical.log" 0.8 1.2
state_figures "$work/typical.log"
rm "$work/typical.log"

# The log of many referrers, on which every other figure is measured.
time_figures "many referrers" "$log" 1.2 2.0
dupes_kb=$scan_kb

# Memory with duplicates removed, against the rows it answers with.
"$scan" "${scan_args[@]}" --dupes "$log" >"$work/dupes.json"
unique_bytes=$(row_bytes "$work/dupes.json")
limit_kb=$(((100 * 1024 * 1024 + 2 * unique_bytes) / 1024))
echo "peak memory, duplicates removed: $(mb "$dupes_kb"), limit 100 MB + 2 x $(mb $((unique_bytes / 1024))) of unique referrers and landing pages = $(mb "$limit_kb")"
ratio_line "peak / limit, duplicates removed" "$dupes_kb" "$limit_kb" "<=" 1.0

# The same log four times over in one file: the answer is the same, and so should the memory be.
cat "$log" "$log" "$log" "$log" >"$work/four.log"
four_kb=$(peak "'$scan' ${scan_args[*]} --dupes '$work/four.log' | cat")
rm "$work/four.log"
echo "peak memory, the log 4 times over: $(mb "$four_kb"), once: $(mb "$dupes_kb")"
awk -v a="$four_kb" -v b="$dupes_kb" 'BEGIN{r = a / b; d = r - 1; if (d < 0) d = -d
  printf "peak 4 times over / once: %.2f (target within 10%%: 0.90 to 1.10)%s\n", r, d <= 0.10 ? "" : "  MISSED"}'

# A short log before the large one (the newest of rotated logs, say): the
# answer is hardly larger, and neither should the memory be.
head -n 2000 "$log" >"$work/short.log"
short_kb=$(peak "'$scan' ${scan_args[*]} --dupes '$work/short.log' '$log' | cat")
rm "$work/short.log"
echo "peak memory, a 2,000-line log and then the log: $(mb "$short_kb"), the log alone: $(mb "$dupes_kb")"
awk -v a="$short_kb" -v b="$dupes_kb" 'BEGIN{printf "peak short log first / alone: %.2f (no target; about 1)\n", a / b}'

# Memory with duplicates kept, against all the rows.
nodupes_kb=$(peak "'$scan' ${scan_args[*]} --no-dupes '$log' >'$work/nodupes.json'")
all_bytes=$(row_bytes "$work/nodupes.json")
rm "$work/nodupes.json"
nodupes_limit_kb=$(((100 * 1024 * 1024 + 3 * all_bytes / 2) / 1024))
echo "peak memory, duplicates kept: $(mb "$nodupes_kb"), limit 100 MB + 1.5 x $(mb $((all_bytes / 1024))) of all referrers and landing pages = $(mb "$nodupes_limit_kb")"
ratio_line "peak / limit, duplicates kept" "$nodupes_kb" "$nodupes_limit_kb" "<=" 1.0

# gzip: the whole log as one file, and in ten parts as log rotation leaves
# them (access.log.1.gz the newest lines, access.log.10.gz the oldest); the two
# are made side by side. Each is timed against zcat | grep -c.
gzip -1 -c "$log" >"$work/whole.gz" &
compressing=$!
# The log cut into "$1" parts in folder "$2", as rotation leaves them:
# access.log.1.gz the newest lines; prints their quoted paths, newest first.
rotate() {
  local count=$1 folder=$2 i part
  mkdir "$folder"
  split -n "l/$count" -d -a 2 "$log" "$folder/part"
  for i in $(seq 1 "$count"); do
    part="$folder/part$(printf %02d $((count - i)))"
    gzip -1 -c "$part" >"$folder/access.log.$i.gz"
    rm "$part"
  done
  for i in $(seq 1 "$count"); do printf "'%s' " "$folder/access.log.$i.gz"; done
}
rotated=$(rotate 10 "$work/rotated")
wait "$compressing"
measure "zcat '$work/whole.gz' | LC_ALL=C grep -c -i -F 'http://' | cat"
read -r zgrep_s _ <<<"$measured"
measure "'$scan' ${scan_args[*]} --dupes '$work/whole.gz' | cat"
read -r zscan_s _ <<<"$measured"
echo "gzip copy ($(stat -c %s "$work/whole.gz") bytes): zcat | grep -c: ${zgrep_s} s, backtrail-scan: ${zscan_s} s"
ratio_line "gzip: scan / zcat | grep" "$zscan_s" "$zgrep_s" "<=" 0.5
measure "zcat $rotated | LC_ALL=C grep -c -i -F 'http://' | cat"
read -r rgrep_s _ <<<"$measured"
measure "'$scan' ${scan_args[*]} --dupes $rotated | cat"
read -r rscan_s _ <<<"$measured"
echo "ten rotated gzip files: zcat | grep -c: ${rgrep_s} s, backtrail-scan: ${rscan_s} s"
ratio_line "10 rotated gzip files: scan / zcat | grep" "$rscan_s" "$rgrep_s" "<=" 0.3
rm -rf "$work/rotated"

# backtrail-cluster on a local cluster of 2 workers (start and stop included)
# against backtrail-scan, on the log as 16 rotated gzip files; and the time it
# adds for each file: 65 short files against one, the difference over 64.
cluster="/usr/bin/python3 '$(pwd)/src/cluster/backtrail_cluster.py' --scanner '$scan' --local 2"
if /usr/bin/python3 -c "import distributed" 2>/dev/null; then
  sixteen=$(rotate 16 "$work/sixteen")
  mkdir "$work/short"
  measure "'$scan' ${scan_args[*]} $sixteen | cat"
  read -r sscan_s _ <<<"$measured"
  measure "$cluster ${scan_args[*]} $sixteen | cat"
  read -r scluster_s _ <<<"$measured"
  echo "16 rotated gzip files: backtrail-scan: ${sscan_s} s, backtrail-cluster --local 2: ${scluster_s} s"
  ratio_line "16 rotated gzip files: backtrail-cluster --local 2 / backtrail-scan" "$scluster_s" "$sscan_s" "<=" 1.15
  for i in $(seq 0 64); do head -n 100 "$log" | tail -n 10 >"$work/short/access.log.$i"; done
  measure "$cluster ${scan_args[*]} '$work/short/access.log.0' | cat"
  read -r one_s _ <<<"$measured"
  measure "$cluster ${scan_args[*]} '$work/short' | cat"
  read -r many_s _ <<<"$measured"
  awk -v a="$many_s" -v b="$one_s" 'BEGIN{ms = (a - b) / 64 * 1000
    printf "backtrail-cluster: time added per file (65 short files against 1): %.0f ms (target < 50 ms)%s\n", ms, ms < 50 ? "" : "  MISSED"}'
  rm -rf "$work/sixteen" "$work/short"
else
  echo "backtrail-cluster / backtrail-scan: skipped, /usr/bin/python3 has no Dask (python3-distributed) (target <= 1.15)"
fi

# Crawler and spam lists: hiding both with the shipped lists, and showing both,
# against empty lists.
echo "[]" >"$work/no-crawlers.json"
: >"$work/no-spam.txt"
empty_lists="--crawler-list '$work/no-crawlers.json' --spam-list '$work/no-spam.txt'"
measure "'$scan' ${scan_args[*]} --dupes --no-bots --no-spam '$log' | cat"
read -r hide_s _ <<<"$measured"
measure "'$scan' ${scan_args[*]} --dupes '$log' | cat"
read -r show_s _ <<<"$measured"
measure "'$scan' ${scan_args[*]} --dupes $empty_lists '$log' | cat"
read -r empty_s _ <<<"$measured"
hidden=$("$scan" "${scan_args[@]}" --dupes --no-bots --no-spam "$log" | awk -F '[": ,]+' '
  /^ *"(links_found|hidden_crawler_lines|hidden_spam_lines)":/ {printf "%s%s %s", sep, $2, $3; sep = ", "}')
echo "crawler and spam lists: hiding both: ${hide_s} s (${hidden}), showing both: ${show_s} s, empty lists: ${empty_s} s"
ratio_line "visitors: scan with crawler and spam lists, hiding both / scan with empty lists" "$hide_s" "$empty_s" "<=" 1.15
awk -v a="$show_s" -v b="$empty_s" 'BEGIN{
  printf "visitors: scan with crawler and spam lists, showing both / scan with empty lists: %.2f (no target)\n", a / b}'

# Source lists: each row's source (search engine and search words, social
# network, AI assistant, website) told by the shipped lists, against lists that
# name nothing (every row a website), in the same JSON scan.
mkdir -p "$work/no-sources"
for list in SearchEngines.yml Socials.yml AIAssistants.yml; do echo "{}" >"$work/no-sources/$list"; done
measure "'$scan' ${scan_args[*]} --dupes --source-lists '$work/no-sources' '$log' | cat"
read -r nosources_s _ <<<"$measured"
echo "source lists: shipped: ${show_s} s, empty: ${nosources_s} s"
ratio_line "sources: scan with the shipped source lists / scan with empty source lists" "$show_s" "$nosources_s" "<=" 1.05

# Times and details: the scan that also counts each row's clicks per landing
# page and per day against the same scan without them (first and last seen are
# taken in both), and its peak memory against the pairs it answers with.
measure "'$scan' ${scan_args[*]} --dupes --details '$log' | cat"
read -r details_s details_kb <<<"$measured"
echo "backtrail-scan --details: ${details_s} s, without: ${show_s} s"
ratio_line "details: scan with --details / scan without" "$details_s" "$show_s" "<=" 1.25
"$scan" "${scan_args[@]}" --dupes --details "$log" >"$work/details.json"
read -r pair_bytes day_pairs < <(python3 - "$work/details.json" <<'EOF'
import json, sys
pair_bytes = day_pairs = 0
with open(sys.argv[1], encoding="utf-8") as f:
    for line in f:
        text = line.strip().rstrip(",")
        if text.startswith("{") and text.endswith("}"):
            row = json.loads(text)
            referrer = len(row["referrer"].encode())
            pair_bytes += sum(referrer + len(landing["path"].encode()) for landing in row["landings"])
            day_pairs += len(row["days"])
print(pair_bytes, day_pairs)
EOF
)
rm "$work/details.json"
details_limit_kb=$(((100 * 1024 * 1024 + 2 * pair_bytes + 16 * day_pairs) / 1024))
echo "peak memory with --details: $(mb "$details_kb"), limit 100 MB + 2 x $(mb $((pair_bytes / 1024))) of unique (referrer, landing page) pairs + 16 B x ${day_pairs} (referrer, day) pairs = $(mb "$details_limit_kb")"
ratio_line "peak / limit, --details" "$details_kb" "$details_limit_kb" "<=" 1.0

# The report: its size and the time to write it against the JSON with details
# (both to a file), and in headless Chromium the time until its status line
# shows and the time a search takes.
measure "'$scan' --quiet --domain '$own' --dupes --format json --details --output '$work/details.json' '$log'"
read -r json_s _ <<<"$measured"
measure "'$scan' --quiet --domain '$own' --dupes --format report --output '$work/report.html' '$log'"
read -r report_s _ <<<"$measured"
json_bytes=$(stat -c %s "$work/details.json")
report_bytes=$(stat -c %s "$work/report.html")
rm "$work/details.json"
echo "report: $(mb $((report_bytes / 1024))) in ${report_s} s; JSON with details: $(mb $((json_bytes / 1024))) in ${json_s} s"
ratio_line "report: bytes / JSON with details" "$report_bytes" "$json_bytes" "<=" 0.5
ratio_line "report: time / JSON with details" "$report_s" "$json_s" "<=" 1.2
if [ -x /usr/bin/chromium ] && [ -x /usr/bin/chromedriver ] && /usr/bin/python3 -c "import selenium" 2>/dev/null; then
  read -r shown_s search_s _ < <(/usr/bin/python3 bench/report_in_chromium.py "$work/report.html" "example/1")
  ratio_line "report in Chromium: seconds until the status line shows" "$shown_s" 1 "<=" 3
  ratio_line "report in Chromium: seconds a search takes" "$search_s" 1 "<=" 0.5
else
  echo "report in Chromium: left out (chromium, chromium-driver or python3-selenium missing)"
fi
rm "$work/report.html"


# The window's scan against backtrail-scan on the same log, on Qt's offscreen
# platform (a Release build with the tests, in "$build-window"; it takes a
# while the first time, so only when asked: BACKTRAIL_BENCH_WINDOW=1).
if [ "${BACKTRAIL_BENCH_WINDOW:-0}" = 1 ]; then
  window_build="$build-window"
  cmake -S . -B "$window_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBACKTRAIL_BUILD_TESTS=ON >/dev/null
  cmake --build "$window_build" --target shell_window_bench backtrail-scan -- -j2 >/dev/null
  window_out="$(QT_QPA_PLATFORM=offscreen "$window_build/tests/shell/shell_window_bench" --rows 1000 --log "$log" 2>/dev/null)"
  echo "$window_out" | grep -E '^(backtrail-scan|window scan|longest wait)'
  window_s=$(echo "$window_out" | sed -n 's/^window scan: \([0-9.]*\) s.*/\1/p')
  cli_s=$(echo "$window_out" | sed -n 's/^backtrail-scan: \([0-9.]*\) s.*/\1/p')
  ratio_line "window scan / backtrail-scan" "$window_s" "$cli_s" "<=" 1.1
fi

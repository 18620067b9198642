#!/usr/bin/env bash
# Refreshes the lists under third_party/ from their sources and records the new
# versions in each folder's PROVENANCE.md.
#
#   scripts/refresh-third-party.sh [crawlers|spam|sources|uplot|all]     (default: all)
#
#   crawlers  third_party/crawler-user-agents/: crawler-user-agents.json and
#             LICENSE from the newest npm package crawler-user-agents (npm pack)
#   spam      third_party/referrer-spam-list/: spammers.txt from the newest
#             commit of github.com/matomo-org/referrer-spam-list
#   sources   third_party/searchengine-and-social-list/: SearchEngines.yml,
#             Socials.yml, AIAssistants.yml and LICENSE from the newest commit
#             of github.com/matomo-org/searchengine-and-social-list
#   uplot     third_party/uplot/: the report's chart library, uPlot.iife.min.js,
#             uPlot.min.css and LICENSE from the newest npm package uplot
#
# Everything is downloaded and checked in a temporary folder first: when a
# source cannot be reached or sends something unexpected, the script says so
# and exits with status 1, and no file under third_party/ has changed.
# BACKTRAIL_THIRD_PARTY names another folder to refresh instead of the
# project's third_party/. Rebuild afterwards: the engine embeds the lists.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
third_party="${BACKTRAIL_THIRD_PARTY:-$here/../third_party}"
what="${1:-all}"
case "$what" in
  crawlers | spam | sources | uplot | all) ;;
  *)
    echo "usage: $0 [crawlers|spam|sources|uplot|all]" >&2
    exit 2
    ;;
esac

fail() {
  echo "refresh-third-party: $*" >&2
  echo "refresh-third-party: nothing under $third_party was changed" >&2
  exit 1
}

need() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || fail "this needs '$tool', which is not installed"
  done
}

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
today="$(date -u +%Y-%m-%d)"

sha256() { sha256sum "$1" | cut -d' ' -f1; }

fetch_crawlers() {
  need npm python3
  mkdir -p "$work/npm"
  local tarball
  if ! tarball="$(cd "$work/npm" && npm pack crawler-user-agents --silent 2>"$work/npm.log")"; then
    cat "$work/npm.log" >&2
    fail "npm pack crawler-user-agents failed: is the npm registry reachable?"
  fi
  tar -xzf "$work/npm/$tarball" -C "$work/npm" || fail "cannot unpack $tarball"
  local package="$work/npm/package"
  [ -s "$package/crawler-user-agents.json" ] || fail "the npm package holds no crawler-user-agents.json"
  [ -s "$package/LICENSE" ] || fail "the npm package holds no LICENSE"
  python3 - "$package/crawler-user-agents.json" <<'PY' || fail "the npm package's crawler-user-agents.json is no list of patterns"
import json, sys
entries = json.load(open(sys.argv[1], encoding="utf-8"))
ok = isinstance(entries, list) and entries and all(isinstance(e, dict) and isinstance(e.get("pattern"), str) for e in entries)
sys.exit(0 if ok else 1)
PY
  crawler_version="$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["version"])' "$package/package.json")" \
    || fail "the npm package's package.json names no version"
  crawler_published="$(npm view crawler-user-agents time --json 2>/dev/null \
    | python3 -c 'import json, sys; print(json.load(sys.stdin)[sys.argv[1]][:10])' "$crawler_version" 2>/dev/null)" \
    || crawler_published=unknown
}

install_crawlers() {
  local folder="$third_party/crawler-user-agents" package="$work/npm/package"
  mkdir -p "$folder"
  cp "$package/crawler-user-agents.json" "$folder/crawler-user-agents.json"
  cp "$package/LICENSE" "$folder/LICENSE"
  cat >"$folder/PROVENANCE.md" <<EOF
# crawler-user-agents

Regular expressions, each matching the user agents of one crawler, robot or
spider, with the crawler's address, example user agents and tags. The engine
embeds \`crawler-user-agents.json\` and matches its patterns with RE2
(src/engine/visitors/CrawlerList.h).

| | |
|---|---|
| Source repository | https://github.com/monperrus/crawler-user-agents |
| File | \`crawler-user-agents.json\`, and the repository's \`LICENSE\` |
| Version | npm package crawler-user-agents $crawler_version (the package does not record its commit) |
| Date | published $crawler_published, fetched $today |
| Licence | MIT, see \`LICENSE\` |
| SHA-256 of crawler-user-agents.json | \`$(sha256 "$folder/crawler-user-agents.json")\` |

Both files are copied unchanged. \`scripts/refresh-third-party.sh crawlers\`
replaces them with those of the newest npm package and rewrites this file.
EOF
  echo "refresh-third-party: crawler-user-agents is now npm package $crawler_version"
}

# The newest commit of a GitHub repository's branch (REPO BRANCH WHAT): sets
# newest_sha and newest_date (the commit's day), or fails saying what WHAT needs.
newest_commit() {
  local api="https://api.github.com/repos/$1/commits/$2"
  curl -fsS --max-time 30 -o "$work/commit.json" "$api" 2>"$work/curl.log" \
    || fail "cannot reach $api ($(tr -d '\n' <"$work/curl.log")): GitHub, which this machine may not reach, is needed for $3"
  read -r newest_sha newest_date < <(python3 -c '
import json, sys
c = json.load(open(sys.argv[1]))
print(c["sha"], c["commit"]["committer"]["date"][:10])' "$work/commit.json") \
    || fail "GitHub's answer about the newest commit is not what was expected"
  [[ "$newest_sha" =~ ^[0-9a-f]{40}$ ]] || fail "GitHub named no commit"
}

sources_repo=matomo-org/searchengine-and-social-list

fetch_spam() {
  need curl python3
  newest_commit matomo-org/referrer-spam-list master "the spam list"
  spam_commit=$newest_sha
  spam_date=$newest_date
  local raw="https://raw.githubusercontent.com/matomo-org/referrer-spam-list/$spam_commit/spammers.txt"
  curl -fsS --max-time 60 -o "$work/spammers.txt" "$raw" 2>"$work/curl.log" \
    || fail "cannot download $raw ($(tr -d '\n' <"$work/curl.log"))"
  [ -s "$work/spammers.txt" ] || fail "the downloaded spammers.txt is empty"
  local odd
  odd="$(grep -c -v -E '^[[:space:]]*([A-Za-z0-9_.-]+)?[[:space:]]*$' "$work/spammers.txt" || true)"
  [ "$odd" = 0 ] || fail "the downloaded spammers.txt has $odd lines that are no host names"
}

install_spam() {
  local folder="$third_party/referrer-spam-list"
  mkdir -p "$folder"
  cp "$work/spammers.txt" "$folder/spammers.txt"
  cat >"$folder/PROVENANCE.md" <<EOF
# referrer-spam-list

Host names known to send referrer spam, one a line (blank lines may occur); a
referrer is spam when its host is one of them or a subdomain of one. The engine
embeds \`spammers.txt\` (src/engine/visitors/SpamList.h).

| | |
|---|---|
| Source repository | https://github.com/matomo-org/referrer-spam-list |
| File | \`spammers.txt\` |
| Version | commit $spam_commit |
| Date | $spam_date (commit), fetched $today |
| Licence | Public Domain (no copyright), per the repository's README |
| SHA-256 of spammers.txt | \`$(sha256 "$folder/spammers.txt")\` |

Copied unchanged. \`scripts/refresh-third-party.sh spam\` replaces it with the
file of the repository's newest commit and rewrites this file.
EOF
  echo "refresh-third-party: referrer-spam-list is now commit $spam_commit"
}

fetch_sources() {
  need curl python3
  newest_commit "$sources_repo" main "the source lists"
  sources_commit=$newest_sha
  sources_date=$newest_date
  mkdir -p "$work/sources"
  local file raw
  for file in SearchEngines.yml Socials.yml AIAssistants.yml LICENSE; do
    raw="https://raw.githubusercontent.com/$sources_repo/$sources_commit/$file"
    curl -fsS --max-time 60 -o "$work/sources/$file" "$raw" 2>"$work/curl.log" \
      || fail "cannot download $raw ($(tr -d '\n' <"$work/curl.log"))"
    [ -s "$work/sources/$file" ] || fail "the downloaded $file is empty"
  done
  # Each list maps a name to its entries; a file that is not so would give no sources.
  for file in SearchEngines.yml Socials.yml AIAssistants.yml; do
    grep -qE '^[^ #-][^:]*:[[:space:]]*$' "$work/sources/$file" || fail "the downloaded $file names no entries"
  done
}

install_sources() {
  local folder="$third_party/searchengine-and-social-list"
  mkdir -p "$folder"
  cp "$work/sources/SearchEngines.yml" "$work/sources/Socials.yml" "$work/sources/AIAssistants.yml" \
    "$work/sources/LICENSE" "$folder/"
  cat >"$folder/PROVENANCE.md" <<EOF
# searchengine-and-social-list

The search engines (with the query parameters that hold a visitor's search
words and the character sets of those words), the social networks and the AI
assistants that a referrer's host and path tell apart. The engine embeds the
three YAML files and reads them with yaml-cpp
(src/engine/visitors/SourceLists.h).

| | |
|---|---|
| Source repository | https://github.com/$sources_repo |
| Files | \`SearchEngines.yml\`, \`Socials.yml\`, \`AIAssistants.yml\`, and the repository's \`LICENSE\` |
| Version | commit $sources_commit |
| Date | $sources_date (commit), fetched $today |
| Licence | CC0 1.0 Universal, see \`LICENSE\` |
| SHA-256 of SearchEngines.yml | \`$(sha256 "$folder/SearchEngines.yml")\` |
| SHA-256 of Socials.yml | \`$(sha256 "$folder/Socials.yml")\` |
| SHA-256 of AIAssistants.yml | \`$(sha256 "$folder/AIAssistants.yml")\` |

The files are copied unchanged. \`scripts/refresh-third-party.sh sources\`
replaces them with those of the repository's newest commit and rewrites this
file.
EOF
  echo "refresh-third-party: searchengine-and-social-list is now commit $sources_commit"
}

fetch_uplot() {
  need npm python3
  mkdir -p "$work/uplot"
  local tarball
  if ! tarball="$(cd "$work/uplot" && npm pack uplot --silent 2>"$work/npm-uplot.log")"; then
    cat "$work/npm-uplot.log" >&2
    fail "npm pack uplot failed: is the npm registry reachable?"
  fi
  tar -xzf "$work/uplot/$tarball" -C "$work/uplot" || fail "cannot unpack $tarball"
  local package="$work/uplot/package" file
  for file in dist/uPlot.iife.min.js dist/uPlot.min.css LICENSE; do
    [ -s "$package/$file" ] || fail "the npm package uplot holds no $file"
  done
  ! grep -q -i '</script' "$package/dist/uPlot.iife.min.js" || fail "uPlot.iife.min.js holds </script, which a page cannot inline"
  uplot_version="$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["version"])' "$package/package.json")" \
    || fail "the npm package's package.json names no version"
}

install_uplot() {
  local folder="$third_party/uplot" package="$work/uplot/package"
  mkdir -p "$folder"
  cp "$package/dist/uPlot.iife.min.js" "$package/dist/uPlot.min.css" "$package/LICENSE" "$folder/"
  cat >"$folder/PROVENANCE.md" <<EOF
# uPlot

A small, fast chart library for the browser. The report page of
\`backtrail-scan --format report\` inlines both files and draws its clicks per
day with it (src/engine/results/formats/report/report.js).

| | |
|---|---|
| Source repository | https://github.com/leeoniya/uPlot |
| Files | \`dist/uPlot.iife.min.js\`, \`dist/uPlot.min.css\`, and \`LICENSE\` |
| Version | npm package uplot $uplot_version |
| Date | fetched $today |
| Licence | MIT, see \`LICENSE\` |
| SHA-256 of uPlot.iife.min.js | \`$(sha256 "$folder/uPlot.iife.min.js")\` |
| SHA-256 of uPlot.min.css | \`$(sha256 "$folder/uPlot.min.css")\` |

The files are copied unchanged. \`scripts/refresh-third-party.sh uplot\`
replaces them with those of the newest npm package and rewrites this file.
EOF
  echo "refresh-third-party: uplot is now npm package $uplot_version"
}


if [ "$what" = crawlers ] || [ "$what" = all ]; then
  fetch_crawlers
fi
if [ "$what" = uplot ] || [ "$what" = all ]; then
  fetch_uplot
fi
if [ "$what" = sources ] || [ "$what" = all ]; then
  fetch_sources
fi
if [ "$what" = spam ] || [ "$what" = all ]; then
  fetch_spam
fi
if [ "$what" = crawlers ] || [ "$what" = all ]; then
  install_crawlers
fi
if [ "$what" = spam ] || [ "$what" = all ]; then
  install_spam
fi
if [ "$what" = uplot ] || [ "$what" = all ]; then
  install_uplot
fi
if [ "$what" = sources ] || [ "$what" = all ]; then
  install_sources
fi

#!/usr/bin/env bash
# Proves the README's two commands on a fresh Debian 12: builds a minimal
# bookworm root with debootstrap, gives it git and a clone of the commit under
# test (and nothing else from this machine), and inside it, as root and
# without a display, runs scripts/run.sh (which must print the scan of the
# bundled sample) and then scripts/test.sh (which must pass). The root lives
# in a temporary folder under /var/tmp and is removed at the end; /proc,
# /dev/pts and /dev/shm are mounted into it only while it is in use and are
# unmounted again on every way out.
#
# Needs root (debootstrap, mount, chroot) and about 10 GB free in /var/tmp.
# The package archive is the bookworm main archive of this machine's own apt
# sources. A fresh root is kept as a tarball in BACKTRAIL_CI_CACHE (default
# /var/cache/backtrail-ci; empty turns it off) for the rest of the day, so
# that repeated runs skip debootstrap. BACKTRAIL_CI_TMPDIR chooses another
# parent folder for the root; BACKTRAIL_CI_KEEP_ROOT=1 leaves the root (all
# unmounted) for a look afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
me=ci-fresh-system
started=$SECONDS

say() { echo "== $me: $*"; }
fail() {
  echo "$me: $*" >&2
  exit 1
}
duration() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }

[ "$(id -u)" -eq 0 ] || fail "needs root: debootstrap, mount and chroot do"
command -v git >/dev/null 2>&1 || fail "git is missing on this machine"
commit=$(git -C "$repo" rev-parse --verify 'HEAD^{commit}')
if [ -n "$(git -C "$repo" status --porcelain --untracked-files=no)" ]; then
  say "the checkout has uncommitted changes; only the commit ${commit:0:12} is tested"
fi

# ---- stages and their times -------------------------------------------------
stage_names=()
stage_times=()
stage=""
stage_started=0
# begin NAME [WHAT IT DOES]
begin() {
  stage=$1
  stage_started=$SECONDS
  say "$stage${2:+: $2}"
}
done_stage() {
  local took=$((SECONDS - stage_started))
  stage_names+=("$stage")
  stage_times+=("$took")
  say "$stage took $(duration "$took")"
  stage=""
}
# A part of the last stage measured on its own (the package installation
# inside run.sh), listed with the stages.
add_time() {
  stage_names+=("$1")
  stage_times+=("$2")
}

# ---- what this machine needs ------------------------------------------------
host_tools=(debootstrap debian-archive-keyring)
missing=()
for p in "${host_tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  begin "tools on this machine" "installing ${missing[*]}"
  if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    DEBIAN_FRONTEND=noninteractive apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
  done_stage
fi

# ---- the archive, from this machine's apt sources ---------------------------
# Prints "URI SUITE COMPONENT..." for every binary-package entry of the
# one-line (*.list) and deb822 (*.sources) source files.
host_sources() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -r "$f" ] || continue
    sed -e 's/#.*//' -e 's/\[[^]]*\]//g' "$f" |
      awk '$1 == "deb" && NF >= 4 { line = $2 " " $3; for (i = 4; i <= NF; i++) line = line " " $i; print line }'
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -r "$f" ] || continue
    awk '
      function flush(   n, m, i, j, u, s) {
        if (types ~ /(^|[ \t])deb([ \t]|$)/ && tolower(enabled) != "no") {
          n = split(uris, u, /[ \t]+/)
          m = split(suites, s, /[ \t]+/)
          for (i = 1; i <= n; i++) for (j = 1; j <= m; j++) if (u[i] != "" && s[j] != "") print u[i], s[j], comps
        }
        types = uris = suites = comps = key = ""
        enabled = "yes"
      }
      BEGIN { enabled = "yes" }
      /^#/ { next }
      /^[ \t]*$/ { flush(); next }
      /^[ \t]/ {
        value = $0
        sub(/^[ \t]+/, "", value)
        if (key == "types") types = types " " value
        else if (key == "uris") uris = uris " " value
        else if (key == "suites") suites = suites " " value
        else if (key == "components") comps = comps " " value
        next
      }
      {
        colon = index($0, ":")
        if (colon == 0) next
        key = tolower(substr($0, 1, colon - 1))
        value = substr($0, colon + 1)
        gsub(/^[ \t]+|[ \t]+$/, "", value)
        if (key == "types") types = value
        else if (key == "uris") uris = value
        else if (key == "suites") suites = value
        else if (key == "components") comps = value
        else if (key == "enabled") enabled = value
      }
      END { flush() }
    ' "$f"
  done
}
sources=$(host_sources)
# The first http(s) archive that has SUITE with its main component.
archive_of() {
  awk -v suite="$1" '$1 ~ /^https?:\/\// && $2 == suite { for (i = 3; i <= NF; i++) if ($i == "main") { sub(/\/+$/, "", $1); print $1; exit } }' <<<"$sources"
}
main_uri=$(archive_of bookworm)
[ -n "$main_uri" ] || fail "this machine's apt sources have no http(s) archive with bookworm main"
suite_lines=("deb $main_uri bookworm main")
for suite in bookworm-updates bookworm-security; do
  uri=$(archive_of "$suite")
  [ -z "$uri" ] || suite_lines+=("deb $uri $suite main")
done
say "archive and suites from this machine's apt sources:"
printf '   %s\n' "${suite_lines[@]}"
arch=$(dpkg --print-architecture)

# ---- the temporary root and its clean-up ------------------------------------
parent="${BACKTRAIL_CI_TMPDIR:-/var/tmp}"
mkdir -p "$parent"
free_kb=$(df --output=avail -k "$parent" | tail -n 1 | tr -d ' ')
[ "$free_kb" -ge $((10 * 1024 * 1024)) ] || fail "$parent has $((free_kb / 1024)) MB free; the fresh system needs about 10 GB"
for old in "$parent"/backtrail-fresh.*; do
  [ -e "$old" ] && say "note: $old is left from an earlier run (not touched)"
done
work=$(mktemp -d "$parent/backtrail-fresh.XXXXXXXX")
root="$work/root"
mkdir -m 755 "$root"
mounted=()   # mount points in the order they were mounted
bg_pid=""    # the host command running now (debootstrap, the chroot)

# Mount points at or below the root, deepest first.
mounts_under_root() {
  awk -v r="$root" '$5 == r || index($5, r "/") == 1 { print $5 }' /proc/self/mountinfo | sort -r
}
# Processes whose root directory is the fresh root: whatever a stage left running.
processes_in_root() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && echo "${p#/proc/}"
  done
  return 0
}
stop_processes() {
  local pids i
  [ -z "$bg_pid" ] || kill -TERM "$bg_pid" 2>/dev/null || true
  for i in 1 2 3 4 5 6 7 8 9 10; do
    pids=$(processes_in_root)
    if [ -n "$bg_pid" ] && kill -0 "$bg_pid" 2>/dev/null; then
      pids="$pids $bg_pid"
    fi
    [ -n "${pids// /}" ] || break
    # shellcheck disable=SC2086
    if [ "$i" -lt 6 ]; then kill -TERM $pids 2>/dev/null || true; else kill -KILL $pids 2>/dev/null || true; fi
    sleep 1
  done
  [ -z "$bg_pid" ] || wait "$bg_pid" 2>/dev/null || true
  bg_pid=""
  pids=$(processes_in_root)
  [ -z "$pids" ] || echo "$me: processes still running in $root: $pids" >&2
}
unmount_all() {
  local i m
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    m=${mounted[i]}
    umount "$m" 2>/dev/null || umount -l "$m" || echo "$me: could not unmount $m" >&2
  done
  mounted=()
  # Anything else mounted below the root (an interrupted debootstrap's /proc, say).
  for m in $(mounts_under_root); do
    umount "$m" 2>/dev/null || umount -l "$m" || echo "$me: could not unmount $m" >&2
  done
}
print_times() {
  local i
  say "times:"
  for i in "${!stage_names[@]}"; do
    printf '   %-40s %9s\n' "${stage_names[i]}" "$(duration "${stage_times[i]}")"
  done
  printf '   %-40s %9s\n' "whole step" "$(duration $((SECONDS - started)))"
}
cleanup() {
  local status=$? failed_stage=$stage
  trap - EXIT INT TERM HUP
  set +e
  [ -z "$stage" ] || add_time "$stage (stopped here)" $((SECONDS - stage_started))
  stage=""
  stop_processes
  unmount_all
  if [ -n "$(mounts_under_root)" ]; then
    echo "$me: still mounted below $root, so it is NOT removed:" >&2
    mounts_under_root >&2
    [ "$status" -ne 0 ] || status=1
  elif [ "${BACKTRAIL_CI_KEEP_ROOT:-0}" = 1 ]; then
    say "the root is kept, nothing mounted in it: $root"
  else
    begin "removing the root"
    rm -rf --one-file-system "$work" || { echo "$me: could not remove $work" >&2; [ "$status" -ne 0 ] || status=1; }
  fi
  [ -z "$stage" ] || done_stage
  print_times
  if [ "$status" -eq 0 ]; then
    echo "$me: PASSED: scripts/run.sh and scripts/test.sh of ${commit:0:12} on a fresh Debian 12 in $(duration $((SECONDS - started)))"
  else
    echo "$me: FAILED${failed_stage:+ in stage \"$failed_stage\"} (exit status $status) after $(duration $((SECONDS - started)))" >&2
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Runs a host command in the background and waits for it, so that a signal
# reaches the traps at once rather than when the command ends. Job control
# gives it a process group of its own and leaves its SIGINT as it was (a
# plain background command would ignore it, and so would everything it
# starts: the tests that interrupt a scan, say).
run_waiting() {
  local status=0
  set -m
  "$@" </dev/null &
  bg_pid=$!
  set +m
  wait "$bg_pid" || status=$?
  bg_pid=""
  return "$status"
}
# Runs a bash command line as root inside the fresh root, with a clean
# environment: no display, a plain PATH and a UTF-8 locale.
in_root() {
  run_waiting env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    "$(command -v chroot)" "$root" /bin/bash -euo pipefail -c "$1"
}
mount_in_root() {
  local target="$root$1"
  shift
  # A symlink here could lead the mount out of the root.
  if [ ! -d "$target" ] || [ -L "$target" ]; then
    fail "$target is not a plain folder"
  fi
  mount "$@" "$target"
  mounted+=("$target")
}

# ---- 1. a minimal bookworm root ---------------------------------------------
cache="${BACKTRAIL_CI_CACHE-/var/cache/backtrail-ci}"
debootstrap_args=(--variant=minbase --arch="$arch")
case "$main_uri" in https://*) debootstrap_args+=(--include=ca-certificates) ;; esac
key="bookworm-minbase-$arch-$(date +%Y%m%d)-$(printf '%s %s' "$main_uri" "${debootstrap_args[*]}" | sha256sum | cut -c1-12)"
tarball="${cache:+$cache/$key.tar}"
if [ -n "$tarball" ] && [ -f "$tarball" ]; then
  begin "root from cache" "today's fresh root from $tarball"
  if ! run_waiting tar -C "$root" --numeric-owner -xpf "$tarball"; then
    say "the cached root did not unpack; making a new one"
    rm -f "$tarball"
    rm -rf --one-file-system "$root"
    mkdir -m 755 "$root"
    tarball_ok=0
  else
    tarball_ok=1
  fi
  done_stage
else
  tarball_ok=0
fi
if [ "$tarball_ok" -eq 0 ]; then
  begin "debootstrap" "--variant=minbase bookworm"
  if ! run_waiting debootstrap "${debootstrap_args[@]}" bookworm "$root" "$main_uri"; then
    # The root and its log go at the end; the log's last lines stay here.
    tail -n 40 "$root/debootstrap/debootstrap.log" >&2 2>/dev/null || true
    fail "debootstrap failed"
  fi
  if [ -n "$tarball" ] && [ -z "$(mounts_under_root)" ] && mkdir -p "$cache" 2>/dev/null; then
    rm -f "$cache"/bookworm-minbase-*.tar "$cache"/.bookworm-minbase-*.tar.*
    part=$(mktemp "$cache/.$key.tar.XXXXXX" 2>/dev/null) || part=""
    if [ -n "$part" ] && run_waiting tar -C "$root" --numeric-owner -cpf "$part" .; then
      mv "$part" "$tarball"
    else
      [ -z "$part" ] || rm -f "$part"
      say "could not keep the fresh root in $cache (carrying on without)"
    fi
  fi
  done_stage
fi

# ---- 2. the system's own files, git and the clone ---------------------------
begin "git and the clone" "apt sources, git, the commit under test"
printf '%s\n' "${suite_lines[@]}" >"$root/etc/apt/sources.list"
rm -f "$root"/etc/apt/sources.list.d/*.list "$root"/etc/apt/sources.list.d/*.sources
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
# What an installed Debian system has and a debootstrapped one lacks.
if [ ! -s "$root/etc/hosts" ]; then
  printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$root/etc/hosts"
fi
# No service that a package installs is started inside the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
# The device nodes (debootstrap makes them; a root from elsewhere may lack some).
for node in "null c 1 3" "zero c 1 5" "full c 1 7" "random c 1 8" "urandom c 1 9" "tty c 5 0"; do
  read -r name type major minor <<<"$node"
  [ -e "$root/dev/$name" ] || mknod -m 666 "$root/dev/$name" "$type" "$major" "$minor"
done
mkdir -p "$root/dev/pts" "$root/dev/shm"
rm -f "$root/dev/ptmx"
ln -s pts/ptmx "$root/dev/ptmx"
for link in "fd /proc/self/fd" "stdin /proc/self/fd/0" "stdout /proc/self/fd/1" "stderr /proc/self/fd/2"; do
  read -r name target <<<"$link"
  [ -L "$root/dev/$name" ] || ln -sfn "$target" "$root/dev/$name"
done
# Its own /proc, its own pseudo-terminals and a writable shared-memory tmpfs
# (the browser engine needs it); nothing of this machine's /dev is bound in.
mount_in_root /proc -t proc -o nosuid,nodev,noexec proc
mount_in_root /dev/pts -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5 devpts
mount_in_root /dev/shm -t tmpfs -o nosuid,nodev,mode=1777 tmpfs
in_root 'export DEBIAN_FRONTEND=noninteractive; apt-get update -q; apt-get install -y -q --no-install-recommends git'
git clone -q --no-local --no-checkout "$repo" "$root/root/backtrail"
git -C "$root/root/backtrail" checkout -q --detach "$commit"
git -C "$root/root/backtrail" remote remove origin
[ ! -e "$root/root/shared" ] || fail "$root/root/shared exists: the clone must stand alone"
in_root 'cd /root/backtrail && git log -1 --format="   cloned %h %s"'
done_stage

# ---- 3. the README's first command ------------------------------------------
begin "scripts/run.sh" "installs the packages, builds, scans the sample"
in_root 'cd /root/backtrail && unset DISPLAY WAYLAND_DISPLAY && scripts/run.sh | tee /root/run.out' ||
  fail "scripts/run.sh failed"
# The table the scanner prints: a heading and rows of type, clicks, referrer
# and landing page.
out="$root/root/run.out"
grep -qE '^Type +Clicks +Referrer +Landing Page' "$out" || fail "scripts/run.sh printed no referrer table"
rows=$(grep -cE '^[A-Z]{3} +[0-9]+ +https?://[^ ]+ +/' "$out" || true)
[ "$rows" -ge 10 ] || fail "scripts/run.sh printed $rows referrer rows for the sample log"
say "scripts/run.sh printed $rows referrer rows, the first:"
grep -m 3 -E '^[A-Z]{3} +[0-9]+ +https?://' "$out" | sed 's/^/   /'
# How much of it the package installation took, from the root's apt history.
deps_seconds=$(awk '
  /^Start-Date:/ { start = $2 " " $3 }
  /^Commandline:/ { ours = ($0 ~ /apt-get install/ && $0 ~ /qt6-base-dev/) }
  /^End-Date:/ && ours { print start "|" $2 " " $3; ours = 0 }
' "$root/var/log/apt/history.log" | tail -n 1 | {
  IFS='|' read -r a b && [ -n "$a" ] && echo $(($(date -d "$b" +%s) - $(date -d "$a" +%s)))
} || true)
done_stage
add_time "  of it: the packages (install-deps.sh)" "${deps_seconds:-0}"

# ---- 4. the README's second command -----------------------------------------
begin "scripts/test.sh" "builds with warnings as errors, runs every test"
if ! in_root 'cd /root/backtrail && unset DISPLAY WAYLAND_DISPLAY && scripts/test.sh'; then
  failed="$root/root/backtrail/build/Testing/Temporary/LastTestsFailed.log"
  if [ -s "$failed" ]; then
    echo "$me: tests that failed inside the fresh system:" >&2
    sed 's/^/   /' "$failed" >&2
  fi
  fail "scripts/test.sh failed"
fi
done_stage

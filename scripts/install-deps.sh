#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Backtrail needs.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
packages=(
  cmake g++ ninja-build pkg-config libgtest-dev
  qt6-base-dev qt6-webengine-dev qt6-charts-dev libxkbcommon-dev libisal-dev libre2-dev libxxhash-dev
  # The structural pass over each block of a log: SIMD through Google Highway.
  libhwy-dev
  # JSON log lines and results are read with simdjson's On-Demand parser.
  libsimdjson-dev
  # The source lists (YAML) and the public suffixes their search engines name.
  libyaml-cpp-dev libpsl-dev publicsuffix
  xvfb xauth x11-apps imagemagick clang-format time gzip
  # The fuzz build: clang, and libFuzzer with the sanitizer runtimes, which
  # clang only recommends.
  clang libclang-rt-14-dev
  # The real-window test: a window manager, clicks and window look-ups, its driver.
  openbox xdotool x11-utils python3
  # backtrail-cluster: Dask's scheduler and workers, SSH for --ssh, and the
  # linters its tests run.
  python3-distributed python3-asyncssh python3-flake8 mypy
  # The report page's test: headless Chromium driven by Selenium, and node for its script's syntax.
  chromium chromium-driver python3-selenium nodejs
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi
SUDO=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "install-deps: these Debian packages are missing and installing them needs root or sudo: ${missing[*]}" >&2
    exit 1
  fi
  SUDO=(sudo)
fi
if ! command -v apt-get >/dev/null 2>&1; then
  echo "install-deps: these packages are missing and there is no apt-get to install them: ${missing[*]}" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"

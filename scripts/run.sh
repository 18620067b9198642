#!/usr/bin/env bash
# Installs what the machine lacks, builds Backtrail and starts the desktop
# program, or, where there is none (no display, or it is not built yet), runs
# the scanner on the bundled sample log.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build
if [ -x build/src/shell/backtrail ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/src/shell/backtrail "$@"
fi
exec build/src/cli/backtrail-scan --domain www.example.org samples/access.log "$@"

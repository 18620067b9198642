#!/usr/bin/env bash
# Installs what the machine lacks, builds Backtrail with warnings as errors and
# runs every test suite. BACKTRAIL_BUILD_DIR and BACKTRAIL_CMAKE_ARGS choose
# another build (the sanitizer build, say).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
build="${BACKTRAIL_BUILD_DIR:-build}"
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja -DBACKTRAIL_WERROR=ON ${BACKTRAIL_CMAKE_ARGS:-}
# BACKTRAIL_TARGETS and BACKTRAIL_CTEST_ARGS narrow a build to some targets and tests.
# shellcheck disable=SC2086
cmake --build "$build" ${BACKTRAIL_TARGETS:+--target $BACKTRAIL_TARGETS}
export QT_QPA_PLATFORM=offscreen
# shellcheck disable=SC2086
ctest --test-dir "$build" --output-on-failure --timeout 600 ${BACKTRAIL_CTEST_ARGS:-}

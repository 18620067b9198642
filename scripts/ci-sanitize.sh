#!/usr/bin/env bash
# The whole test suite under the address, undefined-behaviour and leak
# sanitizers: a Debug build with -DBACKTRAIL_SANITIZE=ON in build-sanitize
# (BACKTRAIL_BUILD_DIR names another), every CTest test, leaks checked at the
# end of each test program. Leaks that belong to the libraries the program
# uses (Qt, fontconfig, the browser engine, ...) are suppressed by library in
# scripts/lsan.supp; nothing of the program's own code is.
# BACKTRAIL_JOBS limits the build's jobs; BACKTRAIL_CTEST_ARGS narrows the run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="${BACKTRAIL_BUILD_DIR:-build-sanitize}"

bash scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBACKTRAIL_SANITIZE=ON -DBACKTRAIL_WERROR=ON
cmake --build "$build" ${BACKTRAIL_JOBS:+-j "$BACKTRAIL_JOBS"}

# new_delete_type_mismatch=0: Qt WebEngine's own library (Chromium, not built
# with the sanitizer) deletes some objects through a base of another size when
# a page closes, and the check cannot be narrowed to one library. The
# program's own code is kept from that fault by -Wdelete-non-virtual-dtor and
# -Wnon-virtual-dtor as errors.
# verify_asan_link_order=0: the preloaded library below comes before the
# sanitizer's runtime, which only matters for a library that replaces malloc.
export ASAN_OPTIONS="detect_leaks=1:new_delete_type_mismatch=0:check_initialization_order=1:verify_asan_link_order=0"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
# Libraries stay loaded to the end (see scripts/lsan-keep-libraries.c).
cc -shared -fPIC -O2 -o "$build/liblsan-keep-libraries.so" scripts/lsan-keep-libraries.c
keep=$(realpath "$build/liblsan-keep-libraries.so")
export LD_PRELOAD="$keep${LD_PRELOAD:+:$LD_PRELOAD}"
# shellcheck disable=SC2086
ctest --test-dir "$build" --output-on-failure --timeout 900 ${BACKTRAIL_CTEST_ARGS:-}

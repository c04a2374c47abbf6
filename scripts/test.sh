#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite with CTest: once as built for
# shipping, once under AddressSanitizer and UndefinedBehaviorSanitizer (any report fails).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
export QT_QPA_PLATFORM=offscreen

"$here/scripts/compile.sh" "$here/build" RelWithDebInfo
ctest --test-dir "$here/build" --output-on-failure -j2

"$here/scripts/compile.sh" "$here/build-asan" Debug -DVIRELAN2_SANITIZE=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$here/tests/lsan.supp:print_suppressions=0
ctest --test-dir "$here/build-asan" --output-on-failure -j2
"$here/scripts/fuzz.sh" 10

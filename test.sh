#!/usr/bin/env bash
# Installs what is missing, builds, and passes every test: first the normal build, then the
# core's tests again under AddressSanitizer and UndefinedBehaviorSanitizer, and the download
# engine's under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps

scripts/build default
ctest --preset default

scripts/build asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --preset asan

# The download engine's workers once more under ThreadSanitizer: only its test binary is built.
[ -f build/tsan/build.ninja ] || cmake --preset tsan >/dev/null
cmake --build --preset tsan --target engine_tests
TSAN_OPTIONS=halt_on_error=1 ctest --preset tsan -R Engine

echo "All tests passed."

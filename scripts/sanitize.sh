#!/usr/bin/env bash
# Builds the game and its whole test suite with the address and undefined-behaviour sanitizers in
# build-asan/ and runs every test there. Any report fails the run: a leak, a bad access, undefined
# behaviour. Only the toolkit's and the system's own false positives are suppressed, in
# scripts/sanitize-lsan.supp, each with its reason.
# Usage: scripts/sanitize.sh [ctest arguments, e.g. -R test_GameScreen]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$root/build-asan" -j"$(nproc)"

# No strict_string_checks: it takes the bounded strndup() of the X keyboard library (on a buffer
# that need not end in a zero byte) for an overflow, and the real program would not start.
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitize-lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$root/build-asan"
ctest --output-on-failure -j"$(nproc)" "$@"

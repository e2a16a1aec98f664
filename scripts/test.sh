#!/usr/bin/env bash
# Builds the game, its tests and benchmarks, runs each fuzz target briefly, and runs every test headless.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)"
# The sources as .clang-format writes them, and clang-tidy's checks clean.
(cd "$root" && git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror)
"$root/scripts/tidy.sh"
# A few seconds of each fuzz target (its own clang build), before the tests so that their summary
# closes the output.
"$root/scripts/fuzz.sh" 5
cd "$root/build"
ctest --output-on-failure -j"$(nproc)"

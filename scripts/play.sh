#!/usr/bin/env bash
# Builds the game and starts it from the folder that holds base/ (the repository's root).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" --target pemy -j"$(nproc)"
cd "$root"
exec "$root/build/src/app/pemy"

#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy's checks) over the game's own sources in src/, one file per CPU, with
# the compile commands of build/ (configured here if it is not). Prints the findings of each file
# that has any and fails if there is one. Generated files (moc's, under build/) and the tests are
# not checked.
# Usage: scripts/tidy.sh [file...]   (paths from the repository's root; default: src/**/*.cpp)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
tidy=$(command -v clang-tidy-14 || command -v clang-tidy) \
  || { echo "clang-tidy is missing: run scripts/install-deps.sh" >&2; exit 2; }

[ -f "$build/compile_commands.json" ] \
  || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(cd "$root" && { git ls-files 'src/*.cpp' 2>/dev/null \
    || find src -name '*.cpp' | sort; })
fi
[ ${#files[@]} -gt 0 ] || { echo "no source files" >&2; exit 2; }

# Each file's findings are printed at once when it is done, so that parallel runs do not interleave.
export tidy build
cd "$root"
printf '%s\0' "${files[@]}" | xargs -0 -P "$(nproc)" -n 1 bash -c '
  out=$("$tidy" -p "$build" --quiet "$1" 2>&1) && exit 0
  grep -v -E "^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$" <<<"$out"
  exit 1' tidy-one \
  && echo "clang-tidy: ${#files[@]} files, no finding" \
  || { echo "clang-tidy: findings above" >&2; exit 1; }

#!/usr/bin/env bash
# The save's simulation (test_SaveSchedules) at length: COUNT generated worlds (a million by
# default) spread over its shapes, outside CTest, one shape a process, as many at once as there are
# processors. Prints the count, the time and any failing world with its seed (PEMY_SEED=<seed>
# replays it and keeps its folder).
#
# Usage (after scripts/test.sh): bench/save_schedules.sh [count] [build folder]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-1000000}
build=${2:-$root/build}
binary="$build/tests/unit/test_SaveSchedules"
[ -x "$binary" ] || { echo "build $binary first (scripts/test.sh)" >&2; exit 2; }
mapfile -t tags < <("$binary" -datatags | sed -n 's/^TestSaveSchedules worlds //p')
per=$(((count + ${#tags[@]} - 1) / ${#tags[@]}))
export QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=86400000 PEMY_SCHEDULES=$per binary
start=$(date +%s)
failed=0
# Failing worlds print their seed as warnings: everything but those and the failures is left out.
printf '%s\0' "${tags[@]}" | xargs -0 -P "$(nproc)" -I{} bash -c 'set -o pipefail
  "$binary" "worlds:$1" | { grep -v -e "^PASS" -e "^Testing" -e "^Totals" -e "^Config" -e "^\*" -e "schedules run$" || true; }' \
  one {} || failed=1
echo "$((per * ${#tags[@]})) generated worlds over ${#tags[@]} shapes" \
  "in $(($(date +%s) - start)) s: $([ "$failed" = 0 ] && echo "no failure" || echo FAILED)"
exit "$failed"

#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, address and undefined-behaviour sanitizers) in
# build-fuzz/ and runs each for the given number of seconds (default 60) on a corpus seeded from the
# game's own files and from made ones. A target that finds a crash, a leak, a hang or an allocation
# beyond the limit stops the script with a non-zero status; its input is kept in build-fuzz/findings/.
# Usage: scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build="$root/build-fuzz"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(AviDecoder JpegDecoder Pictures_icon Pictures_bitmap MusicFileCheck ScoreText)

CXX=clang++ cmake -S "$root/tests/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

mkdir -p -m 700 "$build/runtime"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$build/runtime"
"$build/make_seeds" "$build/seeds" "$root"
mkdir -p "$build/findings"

# Any single allocation above this is a finding: no game file may make the game take 100 MB more.
malloc_limit_mb=100
status=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  log="$build/$target.log"
  mkdir -p "$corpus"
  if ! "$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
      -malloc_limit_mb="$malloc_limit_mb" -rss_limit_mb=1024 -max_len=65536 -print_final_stats=1 \
      -artifact_prefix="$build/findings/$target-" "$corpus" "$build/seeds/$target" >"$log" 2>&1; then
    echo "fuzz_$target: FINDING (see $log and $build/findings/)"
    tail -n 30 "$log"
    status=1
    continue
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  echo "fuzz_$target: ${seconds} s, $execs executions, cov $cov, ft $ft, corpus $(ls "$corpus" | wc -l) files, no finding"
done
exit $status

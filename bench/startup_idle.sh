#!/usr/bin/env bash
# Whole-program figures under Xvfb: time from launch until the menu window is mapped, then the CPU
# time and resident memory of 10 s idling on the menu (the music plays silently on the dummy output).
# Usage: xvfb-run -a bench/startup_idle.sh <pemy binary>   (run from the folder that holds base/)
set -euo pipefail
pemy=$1
start=$(date +%s%N)
"$pemy" >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
until xdotool search --onlyvisible --pid "$pid" --name 'PEMy' >/dev/null 2>&1; do sleep 0.01; done
mapped=$(date +%s%N)
echo "start-up until the menu is mapped: $(( (mapped - start) / 1000000 )) ms"
sleep 2
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
before=$(ticks)
sleep 10
after=$(ticks)
hz=$(getconf CLK_TCK)
echo "idle CPU on the menu over 10 s: $(( (after - before) * 1000 / hz )) ms ($(( (after - before) * 100 / hz / 10 )) % of a core)"
echo "resident memory: $(awk '/VmRSS/ {print $2, $3}' "/proc/$pid/status")"

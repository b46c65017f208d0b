#!/usr/bin/env bash
# The CPU the idle program uses: starts Brindlewick headless on a temporary
# root holding N Inbox messages (default 0) under the default rules, lets the
# first pass finish, then reads its CPU time and context switches over a
# window of S seconds (default 60).
#   tests/program/idle_cpu.sh [BUILD_DIR] [N] [S]
set -euo pipefail
build=${1:-build}
count=${2:-0}
window=${3:-60}
root=$(mktemp -d)
trap 'kill $pid 2>/dev/null || true; rm -rf "$root"' EXIT
inbox="$root/Mail/Local/Inbox"
mkdir -p "$inbox/cur" "$inbox/new" "$inbox/tmp"
for ((i = 0; i < count; i++)); do
  printf 'From: s%d@example.org\r\nSubject: m %d\r\n\r\nbody\r\n' $((i % 100)) "$i" \
    > "$inbox/cur/$((1700000000 + i)).M$i.idle:2,"
done
QUILLMARSH_ROOT=$root QUILLMARSH_DISPLAY=headless "$build/app/Brindlewick" &
pid=$!
sleep 10 # start-up and the first pass
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
switches() { awk '/voluntary_ctxt_switches/ && !/nonvoluntary/ {s += $2} END {print s}' /proc/$pid/task/*/status; }
c0=$(cpu); s0=$(switches)
sleep "$window"
c1=$(cpu); s1=$(switches)
ms=$(( (c1 - c0) * 1000 / ticks ))
echo "messages=$count window=${window}s cpu=${ms}ms ($(awk "BEGIN {printf \"%.3f\", $ms / ($window * 10)}")% of one core) voluntary_switches=$((s1 - s0))"

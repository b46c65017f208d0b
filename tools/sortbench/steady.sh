#!/usr/bin/env bash
# steady.sh [N] [SECONDS] [PROGRAM]
#
# The program at rest: it is started on an Inbox of N messages (default
# 10000) that no rule of rules.json matches, so all of them stay, and then on
# an empty Inbox. After its first pass, over SECONDS (default 60) it reports
# the CPU of each revisit of the Inbox (every 5 s), the CPU over the whole
# window, VmRSS, and the memory per staying message (the difference of the
# two VmRSS figures over N). PROGRAM defaults to build/app/Brindlewick,
# relative to the current folder. Takes about 2 x (SECONDS + 12) seconds,
# plus making the messages the first time. See README.md for the knobs.
set -uo pipefail

usage() {
    echo "usage: $(basename "$0") [N] [SECONDS] [PROGRAM]   e.g. tools/sortbench/steady.sh 10000 60" >&2
    exit 2
}
[ $# -le 3 ] || usage
N=${1:-10000}
SECS=${2:-60}
[[ $N =~ ^[0-9]+$ ]] && [[ $SECS =~ ^[1-9][0-9]*$ ]] || usage
WARM=${WARM:-10}  # seconds after the start before the window may begin

source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"
need_tools python3
resolve_program "${3:-build/app/Brindlewick}"

# About half of the generated messages stay; draw the N from a corpus of 2.2 N.
STAYDIR=$BENCH_WORK/stay-$N-s$SEED
if [ "$N" -gt 0 ]; then
    ensure_corpus $(( (N * 22 / 10 + 999) / 1000 * 1000 ))
    (
        flock 9
        if [ ! -f "$STAYDIR.done" ] || [ "$RULES" -nt "$STAYDIR.done" ]; then
            rm -rf "$STAYDIR"
            python3 "$LIB/make_stay.py" "$CORPUS" "$RULES" "$N" "$STAYDIR" >&2 || exit 1
            touch "$STAYDIR.done"
        fi
    ) 9> "$BENCH_WORK/.lock" || die "could not gather $N staying messages"
fi

W=$BENCH_WORK/steady.$$
rm -rf "$W"
mkdir -p "$W"
trap 'rm -rf "$W"' EXIT
trap 'exit 130' INT TERM
private_runtime "$W/runtime"
make_rules_file "$W/Brindlewick.dat"
mkdir -p "$W/empty/Inbox/"{cur,new,tmp} "$W/empty/Deleted Items/"{cur,new,tmp}
if [ "$N" -gt 0 ]; then src=$STAYDIR; else src=$W/empty; fi
make_root "$W/root-n" "$src" "$W/Brindlewick.dat"
make_root "$W/root-0" "$W/empty" "$W/Brindlewick.dat"
cat "$PROGRAM" > /dev/null
sync

echo "steady: N=$N staying messages, window ${SECS}s; program: $PROGRAM"
python3 "$LIB/steady.py" "$PROGRAM" "$N" "$W/root-n" "$W/root-0" "$WARM" "$SECS"

#!/usr/bin/env bash
# compare.sh N [RUNS] [PROGRAM]
#
# Sorts an Inbox of N generated messages by the 16 rules of rules.json with
#   program       PROGRAM (default build/app/Brindlewick, relative to the
#                 current folder), timed from its start until the Inbox holds
#                 exactly the messages that stay
#   mblaze        mlist | mpick | mrefile, one pass per rule, start to exit
#   read-floor    a C loop that opens, reads to the end and closes every
#                 Inbox file, start to exit
#   rename-floor  a C loop that renames every Inbox file into another folder
# RUNS times (default 3), interleaved in a rotating order, each on a fresh
# copy of the cached corpus, checking the counts per folder of the program
# and of mblaze after every run. Prints a line per run and a summary.
# Exit status: 0 when every count matched, 1 otherwise, 2 when something
# needed is missing. See README.md for the knobs.
set -uo pipefail

usage() {
    echo "usage: $(basename "$0") N [RUNS] [PROGRAM]   e.g. tools/sortbench/compare.sh 10000 3" >&2
    exit 2
}
[ $# -ge 1 ] && [ $# -le 3 ] || usage
[[ $1 =~ ^[1-9][0-9]*$ ]] || usage
N=$1
RUNS=${2:-3}
[[ $RUNS =~ ^[1-9][0-9]*$ ]] || usage

source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"
need_tools mblaze gcc python3
resolve_program "${3:-build/app/Brindlewick}"
ensure_corpus "$N"
build_tools

W=$BENCH_WORK/run.$$   # run copies, removed at the end
LOGS=$BENCH_WORK/last-$N  # logs and rows of the latest comparison at this N
rm -rf "$W" "$LOGS"
mkdir -p "$W" "$LOGS"
trap 'rm -rf "$W"' EXIT
trap 'exit 130' INT TERM
private_runtime "$W/runtime"
make_rules_file "$W/Brindlewick.dat"
TSV=$LOGS/results.tsv
STAY=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["counts"].get("Inbox", 0))' "$EXPECTED")
TMAX=${TMAX:-$(( N / 100 + 60 ))}

field() { sed -n "s/^$1=//p" "$2" | tail -n 1; }

# one CONTENDER RUN: time one contender on a fresh copy, append its row.
one() {
    local who=$1 i=$2 log=$LOGS/$1-$2.log store=$W/store t ok=ok check=n/a rc st
    rm -rf "$W/store" "$W/root"
    if [ "$who" = program ]; then
        make_root "$W/root" "$CORPUS" "$W/Brindlewick.dat"
        store=$W/root/Mail/Local
        sync
        QUILLMARSH_ROOT=$W/root QUILLMARSH_DISPLAY=headless \
            "$BIN/qmrun" inbox "$store" "$STAY" "$TMAX" "$PROGRAM" > "$log" 2>&1
        rc=$?
        t=$(field t_inbox "$log")
        if [ "$rc" != 0 ]; then
            case $(field ended_by "$log") in
            exit) ok="it exited (status $(field status "$log")) leaving $(field final_count "$log") messages in the Inbox, not $STAY" ;;
            timeout) ok="the Inbox still held $(field final_count "$log") messages, not $STAY, after ${TMAX}s" ;;
            *) ok="qmrun failed, see $log" ;;
            esac
        fi
    else
        local cmd
        case $who in
            mblaze) cmd=$LIB/mblaze-sort.sh ;;
            read-floor) cmd=$BIN/floor_read ;;
            rename-floor) cmd=$BIN/floor_rename ;;
        esac
        copy_store "$CORPUS" "$store"
        sync
        "$BIN/qmrun" exit "$cmd" "$store" > "$log" 2>&1
        t=$(field t_exit "$log")
        st=$(field status "$log")
        [ "$st" = 0 ] || ok="exit status ${st:-unknown}"
    fi
    if [ "$who" = program ] || [ "$who" = mblaze ]; then
        check=$(python3 "$LIB/check.py" "$who" "$store" "$EXPECTED" 2>&1 | tail -n 1)
        echo "check: $check" >> "$log"
    fi
    local u s m
    u=$(field user "$log"); s=$(field sys "$log"); m=$(field maxrss_kb "$log")
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$N" "$i" "$who" "${t:--1}" "$ok" \
        "${u:-0}" "${s:-0}" "${m:-0}" "$check" >> "$TSV"
    rm -rf "$W/store" "$W/root"
}

echo "compare: N=$N, $RUNS run(s), $STAY messages stay in the Inbox"
echo "program: $PROGRAM"
echo "work: $BENCH_WORK (logs of this comparison: $LOGS)"

# untimed warm-up: the program's file and every page and inode of the corpus
cat "$PROGRAM" > /dev/null
"$BIN/floor_read" "$CORPUS" 2> /dev/null
cp -al "$CORPUS" "$W/warm" && rm -rf "$W/warm"

order=(program mblaze read-floor rename-floor)
for ((i = 1; i <= RUNS; i++)); do
    for ((k = 0; k < 4; k++)); do
        one "${order[$(( (k + i - 1) % 4 ))]}" "$i"
    done
    python3 "$LIB/summarize.py" run "$TSV" "$i"
done
echo
python3 "$LIB/summarize.py" final "$TSV"
rc=$?
corpus_intact || rc=1
exit $rc

#!/usr/bin/env bash
# The sorting benchmark (tools/sortbench/README.md): Brindlewick against
# mblaze on a generated Inbox, with read and rename floors, in interleaved
# runs; prints the ratio per run and the medians.
#   scripts/bench_sort.sh [N] [RUNS]            compare.sh (defaults 10000 3)
#   scripts/bench_sort.sh steady [N] [SECONDS]  steady.sh (defaults 10000 60)
# Installs mblaze, gcc and python3 from the distribution when missing (with
# sudo when not root), then builds the program with scripts/build.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
for p in mblaze gcc libc6-dev python3; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "bench_sort: installing ${missing[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

scripts/build.sh > /dev/null
if [ "${1:-}" = steady ]; then
  shift
  exec tools/sortbench/steady.sh "${1:-10000}" "${2:-60}" build/app/Brindlewick
fi
exec tools/sortbench/compare.sh "${1:-10000}" "${2:-3}" build/app/Brindlewick

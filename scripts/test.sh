#!/usr/bin/env bash
# Builds and runs every test.
#   scripts/test.sh                 plain build in build/
#   scripts/test.sh sanitize        AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
#   scripts/test.sh thread          ThreadSanitizer in build-tsan/ (the concurrency tests)
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-plain}
case "$mode" in
  plain)    dir=build;      args=() ;;
  sanitize) dir=build-asan; args=(-DQM_SANITIZE=address,undefined) ;;
  thread)   dir=build-tsan; args=(-DQM_SANITIZE=thread) ;;
  *) echo "usage: $0 [plain|sanitize|thread]" >&2; exit 2 ;;
esac
scripts/build.sh "$dir" "${args[@]}"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1}
filter=()
[ "$mode" = thread ] && filter=(-L concurrency)
ctest --test-dir "$dir" --output-on-failure -j2 "${filter[@]}"

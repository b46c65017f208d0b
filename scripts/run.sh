#!/usr/bin/env bash
# Builds and starts Brindlewick on the data root ($QUILLMARSH_ROOT, default
# ~/.local/share/quillmarsh). In a terminal it shows its screens there; without
# one it runs headless. Stop it with Ctrl-C or SIGTERM: it saves and exits.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh build >/dev/null
if [ ! -x build/app/Brindlewick ]; then
  echo "run: the program is not built yet in this version" >&2
  exit 1
fi
exec build/app/Brindlewick "$@"

#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quillmarsh needs.
# Does nothing when they are all present; needs root (or sudo) otherwise.
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config libicu-dev libncurses-dev
          libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev tmux ccache
          python3-icalendar)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "setup: installing ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

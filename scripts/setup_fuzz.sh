#!/usr/bin/env bash
# Installs what `make fuzz` needs on top of scripts/setup.sh: clang 14 with its
# sanitizer and libFuzzer runtimes, and python3 for fuzz/make_seeds.sh.
# The normal build and tests never need these.
set -euo pipefail
bash "$(dirname "$0")/setup.sh"

packages=(clang-14 libclang-rt-14-dev)
command -v python3 >/dev/null 2>&1 || packages+=(python3)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup_fuzz: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
  else
    echo "setup_fuzz: not root and no sudo; as root run: apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian packages libtdr needs to build and test, and any further
# packages named as arguments. Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(g++ cmake ninja-build make libxerces-c-dev flex libfl-dev bison zlib1g-dev
          libgtest-dev libbenchmark-dev nlohmann-json3-dev pybind11-dev python3-dev
          python3-numpy python3-pytest pkg-config "$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
if ! command -v apt-get >/dev/null 2>&1; then
  echo "setup: apt-get not found; install these packages by hand: ${missing[*]}" >&2
  exit 1
fi
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
  else
    echo "setup: not root and no sudo; as root run: apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

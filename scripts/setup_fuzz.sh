#!/usr/bin/env bash
# Installs what `make fuzz` needs on top of the build packages: clang 14 with
# its sanitizer and libFuzzer runtimes, and python3 for fuzz/make_seeds.sh.
# The normal build and tests never need these.
set -euo pipefail
extra=(clang-14 libclang-rt-14-dev)
command -v python3 >/dev/null 2>&1 || extra+=(python3)
exec bash "$(dirname "$0")/setup.sh" "${extra[@]}"

#!/usr/bin/env bash
# Installs the build tree BUILD into a scratch prefix, builds the consumer
# program against it with find_package and with pkg-config, and runs both.
set -euo pipefail
build=$1 src=$2 flags=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
sed -i "s|^prefix=.*|prefix=$prefix|" "$prefix"/lib*/pkgconfig/tdr.pc
libdir=$(dirname "$(find "$prefix" -name libtdr.so | head -n 1)")
expected=$(printf 'cpu_probe\nio_probe')
# The installed tool finds the installed libraries by itself.
"$prefix/bin/tdr" check "$src/examples/demo_session.xml" >/dev/null

cmake -S "$src/tests/install/consumer" -B "$work/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$work/cmake" >/dev/null
[ "$(LD_LIBRARY_PATH=$libdir "$work/cmake/consumer" "$src/examples/demo_session.xml")" = "$expected" ]

export PKG_CONFIG_PATH=$libdir/pkgconfig
g++ -std=c++17 $flags $(pkg-config --cflags tdr) "$src/tests/install/consumer/consumer.cpp" \
  -o "$work/pc_consumer" $(pkg-config --libs tdr)
[ "$(LD_LIBRARY_PATH=$libdir "$work/pc_consumer" "$src/examples/demo_session.xml")" = "$expected" ]
echo "consumer: find_package and pkg-config builds ran"

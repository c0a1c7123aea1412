# Entry points over CMake. Each target installs what it needs first.
.PHONY: setup demo test build-release build-asan clean

JOBS ?= $(shell nproc 2>/dev/null || echo 2)

setup:
	bash scripts/setup.sh

build-release: setup
	cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTDR_TESTS=OFF
	cmake --build build/release -j $(JOBS)

build-asan: setup
	cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTDR_SANITIZE=ON
	cmake --build build/asan -j $(JOBS)

demo: build-release
	bash scripts/demo.sh build/release/tdr

test: build-asan
	cd build/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf build

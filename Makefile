# Entry points over CMake. Each target installs what it needs first.
.PHONY: setup demo test build-release build-asan fuzz build-fuzz clean

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

# libFuzzer targets (clang 14), in their own build directory; the gcc builds
# above never need clang. Each target runs FUZZ_SECONDS, one after another.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=

build-fuzz:
	bash scripts/setup_fuzz.sh
	CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTDR_FUZZ=ON -DTDR_TESTS=OFF
	cmake --build build/fuzz -j $(JOBS)
	bash fuzz/make_seeds.sh build/fuzz/seeds

fuzz: build-fuzz
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash fuzz/run.sh build/fuzz $(FUZZ_TARGETS)

clean:
	rm -rf build

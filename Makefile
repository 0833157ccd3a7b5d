# Front door: `make demo`, `make test`, `make bench`, `make sanitize`, `make fuzz`.
# `demo` and `test` first run scripts/setup, which installs missing Debian packages and
# configures the build tree; both are idempotent.

BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
CTEST_ARGS ?=

.PHONY: all setup build test demo bench sanitize fuzz clean

all: build

setup:
	BUILD_DIR=$(BUILD) BUILD_TYPE=$(BUILD_TYPE) scripts/setup

build: setup
	cmake --build $(BUILD) -j $(JOBS)

# ctest's summary line ends the output.
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

demo: build
	TALVEX=$(abspath $(BUILD))/talvex scripts/demo

# Benchmarks run on an optimised build of their own: every bench_* binary, then bench/*.sh.
bench:
	BUILD_DIR=build-release BUILD_TYPE=Release scripts/setup --bench
	cmake --build build-release -j $(JOBS)
	@set -e; for b in build-release/bench_*; do \
	  [ -x "$$b" ] || continue; echo "== $$b"; "$$b"; done
	@set -e; for s in bench/*.sh; do \
	  [ -f "$$s" ] || continue; echo "== $$s"; TALVEX=$(abspath build-release)/talvex bash "$$s"; done

# AddressSanitizer and UndefinedBehaviorSanitizer over the whole suite.
sanitize: setup
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALVEX_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(abspath tests/lsan.supp) ctest --output-on-failure -j $(JOBS) $(CTEST_ARGS)

# libFuzzer targets (clang, ASan + UBSan) in build-fuzz, each run for FUZZ_SECONDS; a finding fails.
FUZZ_SECONDS ?= 60
fuzz: setup
	FUZZ_SECONDS=$(FUZZ_SECONDS) JOBS=$(JOBS) fuzz/run

clean:
	rm -rf $(BUILD) build-release build-asan build-fuzz

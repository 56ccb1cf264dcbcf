# Two commands for a fresh Debian 12 machine:
#   make run    set up, build, generate the data and start the GUI
#   make test   set up, build and run the whole test suite
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS ?= $(shell nproc)

.PHONY: all setup setup-test build build-all run test package asan-test bench fuzz mutants format clean

all: build-all

# What building and running need; the test tools come with the test targets.
setup:
	@scripts/setup run

setup-test:
	@scripts/setup test

# The programs and the data folder only (no test tools needed).
build: setup
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DPEDAFORM_TESTS=OFF -DPEDAFORM_BENCH=OFF >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# Everything: the programs, the tests and the benchmarks.
build-all: setup-test
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DPEDAFORM_TESTS=ON -DPEDAFORM_BENCH=ON >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ]; then \
	  echo "pedaform: no display; run 'xvfb-run -a make run' for a virtual one, or use $(BUILD)/pedaform-cli (see README)" >&2; \
	  exit 1; \
	fi
	@echo "pedaform: sample scans are in $(BUILD)/data/samples/"
	@$(BUILD)/pedaform

# A Debian package: $(BUILD)/pedaform_<version>_<arch>.deb
package: build
	@cd $(BUILD) && cpack -G DEB

test: build-all
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The same suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
asan-test: setup-test
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DPEDAFORM_SANITIZE=ON -DPEDAFORM_BENCH=OFF >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=0 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

bench: build-all
	@cd $(BUILD)/data && ../bench/pedaform_bench --benchmark_min_time=0.5
	@cd $(BUILD)/data && $(CURDIR)/scripts/with-display ../bench/pedaform_gl_bench --benchmark_min_time=0.5

# libFuzzer targets (clang): every target for FUZZ_SECONDS each (make fuzz FUZZ_SECONDS=600).
# The normal build makes the same targets as plain programs that replay their inputs in make test.
FUZZ_SECONDS ?= 60
fuzz: setup-test
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPEDAFORM_FUZZ=ON -DPEDAFORM_BENCH=OFF -DPEDAFORM_TESTS=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target data
	@scripts/fuzz-run $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Mutation testing: the share of planted faults the suite catches (make mutants MUTANTS=40 SEED=1;
# the same seed on the same sources plants the same faults). Results go to $(BUILD)/mutants/.
MUTANTS ?= 40
SEED ?= 1
mutants: setup-test
	@scripts/mutants.py --build-dir $(BUILD) --mutants $(MUTANTS) --seed $(SEED) --jobs $(JOBS)

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)

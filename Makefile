# Top-level entry points. `make test` is what CI runs.
JOBS ?= $(shell nproc)
BUILD ?= build
BUILD_SAN ?= build-asan
BUILD_TSAN ?= build-tsan
BUILD_FUZZ ?= build-fuzz
# Seconds each fuzzer runs in `make test` (they run side by side).
FUZZ_SECONDS ?= 90
# Warnings fail the build here, as on CI; `make WERROR=OFF` relaxes it while working.
WERROR ?= ON

.PHONY: all deps build test test-native test-sanitizers test-threads test-fuzz bench clean

all: build

deps:
	bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS)

test-native: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitizers: deps
	cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_WERROR=$(WERROR) \
	  -DTOLVAR_SANITIZE=address,undefined -DTOLVAR_BUILD_BENCH=OFF
	cmake --build $(BUILD_SAN) -j $(JOBS)
	ctest --test-dir $(BUILD_SAN) --output-on-failure -j $(JOBS)

# The concurrency test again under ThreadSanitizer: any report fails it.
test-threads: deps
	cmake -S . -B $(BUILD_TSAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_WERROR=$(WERROR) \
	  -DTOLVAR_SANITIZE=thread -DTOLVAR_BUILD_BENCH=OFF
	cmake --build $(BUILD_TSAN) -j $(JOBS) --target plugin_concurrency_test tolvar
	TSAN_OPTIONS=halt_on_error=1 $(BUILD_TSAN)/tests/plugin/plugin_concurrency_test

# The libFuzzer targets under ASan and UBSan, built with clang, for a bounded time.
test-fuzz: deps
	cmake -S . -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_WERROR=$(WERROR) \
	  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DTOLVAR_FUZZ=ON \
	  -DTOLVAR_SANITIZE=address,undefined -DTOLVAR_BUILD_TESTS=OFF -DTOLVAR_BUILD_BENCH=OFF
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target tolvar_fuzzers
	bash fuzz/run-fuzzers.sh $(BUILD_FUZZ) $(FUZZ_SECONDS)

test: test-native test-sanitizers test-threads test-fuzz

bench: build
	bash scripts/run-benchmarks.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_TSAN) $(BUILD_FUZZ)

# Top-level entry points. `make test` is what CI runs.
JOBS ?= $(shell nproc)
BUILD ?= build
BUILD_SAN ?= build-asan

.PHONY: all deps build test test-native test-sanitizers bench clean

all: build

deps:
	bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

test-native: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-sanitizers: deps
	cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTOLVAR_SANITIZE=address,undefined -DTOLVAR_BUILD_BENCH=OFF
	cmake --build $(BUILD_SAN) -j $(JOBS)
	ctest --test-dir $(BUILD_SAN) --output-on-failure -j $(JOBS)

test: test-native test-sanitizers

bench: build
	bash scripts/run-benchmarks.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_SAN)

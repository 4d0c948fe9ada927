# Top-level entry points. `make test` is what CI runs.
JOBS ?= $(shell nproc)
BUILD ?= build
BUILD_SAN ?= build-asan
BUILD_TSAN ?= build-tsan
BUILD_WIN32 ?= build-win32
BUILD_WIN64 ?= build-win64
DIST ?= dist
# The IR library generator runs natively; the Windows trees and the archives
# take it, and the folder it writes, from the native build.
NATIVE_IRGEN ?= $(abspath $(BUILD))/tools/tolvar-irgen
IR_FOLDER ?= $(BUILD)/plugin/tolvar
# Warnings fail the build here, as on CI; `make WERROR=OFF` relaxes it while working.
WERROR ?= ON

.PHONY: all deps build test test-native test-sanitizers test-threads bench clean
.PHONY: build-win32 build-win64 test-win32 test-win64 dist

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

# Windows: cross-built with mingw-w64, tested under wine. windows_build <tree>
# <toolchain>: the static libraries that the stand-in host and the tests link
# are cross-built once into <tree>/deps; the native tree comes first for its IR
# library generator.
define windows_build
	JOBS=$(JOBS) bash scripts/build-windows-deps.sh cmake/toolchain-$(2).cmake $(1)/deps
	cmake -S . -B $(1) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-$(2).cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTOLVAR_WERROR=$(WERROR) -DTOLVAR_BUILD_BENCH=OFF -DTOLVAR_WINDOWS_DEPS=$(abspath $(1))/deps/prefix \
	  $$(test -x $(NATIVE_IRGEN) && echo -DTOLVAR_NATIVE_IRGEN=$(NATIVE_IRGEN))
	cmake --build $(1) -j $(JOBS)
endef

build-win32: build
	$(call windows_build,$(BUILD_WIN32),i686-w64-mingw32)

build-win64: build
	$(call windows_build,$(BUILD_WIN64),x86_64-w64-mingw32)

test-win32: build-win32
	ctest --test-dir $(BUILD_WIN32) --output-on-failure -j $(JOBS)

test-win64: build-win64
	ctest --test-dir $(BUILD_WIN64) --output-on-failure -j $(JOBS)

test: test-native test-sanitizers test-threads test-win32 test-win64

# Archives for users: each plug-in binary with the IR library beside it.
dist: build build-win32 build-win64
	bash scripts/make-dist.sh $(DIST)/tolvar-win32.zip $(BUILD_WIN32)/plugin/tolvar.dll $(IR_FOLDER) \
	  i686-w64-mingw32-strip
	bash scripts/make-dist.sh $(DIST)/tolvar-win64.zip $(BUILD_WIN64)/plugin/tolvar.dll $(IR_FOLDER) \
	  x86_64-w64-mingw32-strip
	bash scripts/make-dist.sh $(DIST)/tolvar-linux-x86_64.tar.gz $(BUILD)/plugin/tolvar.so $(IR_FOLDER) strip

bench: build
	bash scripts/run-benchmarks.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_TSAN) $(BUILD_WIN32) $(BUILD_WIN64) $(DIST)

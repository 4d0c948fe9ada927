# Top-level entry points. `make test` is what CI runs.
JOBS ?= $(shell nproc)
BUILD ?= build
BUILD_SAN ?= build-asan
BUILD_TSAN ?= build-tsan
BUILD_FUZZ ?= build-fuzz
BUILD_WIN32 ?= build-win32
BUILD_WIN64 ?= build-win64
DIST ?= dist
# Seconds each fuzzer runs in `make test` (they run side by side).
FUZZ_SECONDS ?= 90
# The IR library generator runs natively; the Windows trees and the archives
# take it, and the folder it writes, from the native build.
NATIVE_IRGEN ?= $(abspath $(BUILD))/tools/irgen/tolvar-irgen
IR_FOLDER ?= $(BUILD)/plugin/tolvar
# Warnings fail the build here, as on CI; `make WERROR=OFF` relaxes it while working.
WERROR ?= ON

# Where `make install` puts the Linux plug-in and its IR library: the folder
# Linux workstations search for VST 2 plug-ins.
VST_DIR ?= $(HOME)/.vst

.PHONY: all deps build test test-native test-sanitizers test-threads test-fuzz bench validate clean demo install
.PHONY: build-win32 build-win64 test-win32 test-win64 dist test-hosts

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

# Every test that starts threads (label "threads") again under ThreadSanitizer:
# any report fails it.
test-threads: deps
	cmake -S . -B $(BUILD_TSAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_WERROR=$(WERROR) \
	  -DTOLVAR_SANITIZE=thread -DTOLVAR_BUILD_BENCH=OFF
	cmake --build $(BUILD_TSAN) -j $(JOBS)
	TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(BUILD_TSAN) --output-on-failure -j $(JOBS) -L threads

# The libFuzzer targets under ASan and UBSan, built with clang, for a bounded time.
test-fuzz: deps
	cmake -S . -B $(BUILD_FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_WERROR=$(WERROR) \
	  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DTOLVAR_FUZZ=ON \
	  -DTOLVAR_SANITIZE=address,undefined -DTOLVAR_BUILD_TESTS=OFF -DTOLVAR_BUILD_BENCH=OFF
	cmake --build $(BUILD_FUZZ) -j $(JOBS) --target tolvar_fuzzers
	bash fuzz/run-fuzzers.sh $(BUILD_FUZZ) $(FUZZ_SECONDS)

# The validator's full run against our plug-in (make test runs it lighter, as ctests).
validate: build
	$(BUILD)/tools/validate/tolvar-validate $(BUILD)/plugin/tolvar.so --strictness 10

# Windows: cross-built with mingw-w64, tested under wine on a virtual X display
# (the editor window test opens a real window). windows_build <tree>
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
	xvfb-run -a ctest --test-dir $(BUILD_WIN32) --output-on-failure -j $(JOBS)

test-win64: build-win64
	xvfb-run -a ctest --test-dir $(BUILD_WIN64) --output-on-failure -j $(JOBS)

# Tolvar in Ardour, Qtractor and LMMS as Debian packages them (tests/hosts/):
# installs them, then scans, renders, automates and compares.
test-hosts: build build-win32
	bash scripts/install-hosts.sh
	bash tests/hosts/run-hosts.sh $(BUILD) $(BUILD_WIN32)

# The host tests take about two minutes, installing the hosts included.
test: test-native test-sanitizers test-threads test-fuzz test-win32 test-win64 test-hosts

# Archives for users: each plug-in binary with the IR library beside it.
dist: build build-win32 build-win64
	bash scripts/make-dist.sh $(DIST)/tolvar-win32.zip $(BUILD_WIN32)/plugin/tolvar.dll $(IR_FOLDER) \
	  i686-w64-mingw32-strip
	bash scripts/make-dist.sh $(DIST)/tolvar-win64.zip $(BUILD_WIN64)/plugin/tolvar.dll $(IR_FOLDER) \
	  x86_64-w64-mingw32-strip
	bash scripts/make-dist.sh $(DIST)/tolvar-linux-x86_64.tar.gz $(BUILD)/plugin/tolvar.so $(IR_FOLDER) strip

bench: build
	bash scripts/run-benchmarks.sh $(BUILD)

# Builds only what the demo needs, generates the IR library, renders demo audio
# through the plug-in and draws the equaliser's response (demo/).
demo: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS) --target tolvar tolvar_ir_library tolvar_cli tolvar_demo_signal
	bash scripts/demo.sh $(BUILD)

install: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_WERROR=$(WERROR)
	cmake --build $(BUILD) -j $(JOBS) --target tolvar tolvar_ir_library
	bash scripts/install-plugin.sh $(BUILD)/plugin "$(VST_DIR)"

clean:
	rm -rf $(BUILD) $(BUILD_SAN) $(BUILD_TSAN) $(BUILD_FUZZ) $(BUILD_WIN32) $(BUILD_WIN64) $(DIST)

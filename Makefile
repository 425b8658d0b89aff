# Front door: `make demo` runs Kvornis, `make test` tests it.
PRESET ?= dev

.PHONY: all build test package tsan demo screenshot screenshot-harvest bench fuzz fuzz-smoke deps configure clean

all: build

deps:
	@scripts/install-deps

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET)

# The suite, then the Debian package built and checked as a machine that
# installs it would meet it.
test: build
	ctest --preset $(PRESET)
	@scripts/check-package

# The Debian package of the release build: build/package/kvornis_VERSION_ARCH.deb.
package: deps
	@scripts/build-package

# The harvest's tests under ThreadSanitizer: its workers share the socket
# stack, TLS start-up and the collator. CI runs it after the suite.
tsan: deps
	cmake --preset tsan
	cmake --build --preset tsan
	ctest --preset tsan

# Builds the window and opens it against the local stand-in service;
# TLS=1: over https, with a certificate made for the run.
demo: deps
	@scripts/demo $(if $(filter 1,$(TLS)),--tls)

# A picture of the window after a real dig, taken under Xvfb.
screenshot: deps
	@scripts/screenshot

# The harvest window mid-run, the same way.
screenshot-harvest: deps
	@scripts/screenshot-harvest

bench:
	@$(MAKE) --no-print-directory build PRESET=release
	@scripts/bench

# libFuzzer targets (clang); run one with e.g. build/fuzz/fuzz/fuzz_uri -max_total_time=60
fuzz: deps
	cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKVORNIS_FUZZ=ON -DKVORNIS_TESTS=OFF -DKVORNIS_BENCH=OFF -DKVORNIS_GUI=OFF
	cmake --build build/fuzz -j2 --target kv_fuzzers

# Every fuzz target for 15 seconds with its sanitizers; CI runs it after the tests.
fuzz-smoke: fuzz
	@scripts/fuzz-smoke

clean:
	rm -rf build

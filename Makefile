# Front door: `make demo` runs Kvornis, `make test` tests it.
PRESET ?= dev

.PHONY: all build test demo bench deps configure clean

all: build

deps:
	@scripts/install-deps

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET)

test: build
	ctest --preset $(PRESET)

demo:
	@$(MAKE) --no-print-directory build PRESET=release
	@scripts/demo

bench:
	@$(MAKE) --no-print-directory build PRESET=release
	@scripts/bench

clean:
	rm -rf build

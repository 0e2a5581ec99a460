# The README's commands. Every target runs scripts/setup first, so a fresh Debian 12 machine
# needs nothing else.

SAMPLE        ?= samples/character.vrn
FUZZ_SECONDS  ?= 60
# Seconds each fuzz target runs inside `make test` (a smoke run over its corpus).
FUZZ_SMOKE_SECONDS ?= 10

.PHONY: all setup build package run test test-release test-asan fuzz-smoke bench fuzz format clean

all: build

setup:
	@scripts/setup

build: setup
	@cmake --preset release >/dev/null
	@cmake --build --preset release

# build/release/vorna_<version>_<arch>.deb, for `sudo apt install ./build/release/vorna_*.deb`.
package: build
	@cd build/release && cpack

run: build
	@scripts/run-editor $(SAMPLE)

test: setup test-release test-asan fuzz-smoke

test-release:
	@cmake --preset release >/dev/null
	@cmake --build --preset release
	@ctest --test-dir build/release --output-on-failure

test-asan:
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@ctest --test-dir build/asan --output-on-failure

fuzz-smoke:
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@scripts/run-fuzz build/fuzz $(FUZZ_SMOKE_SECONDS)

bench: setup
	@cmake --preset release >/dev/null
	@cmake --build --preset release
	@for b in build/release/bench/bench_*; do echo "== $$b"; $$b; done

fuzz: setup
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz
	@scripts/run-fuzz build/fuzz $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build

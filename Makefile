# SPDX-License-Identifier: GPL-3.0-or-later
# Convenience targets over the CMake presets. Every target first makes sure the Debian packages
# it needs are installed (scripts/install-deps.sh installs only what is missing).
.PHONY: all deps build release run demo package package-check check-sources test test-asan test-large bench fuzz fuzz-ci format format-check clean

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake --preset default >/dev/null
	@cmake --build --preset default -j $(JOBS)

# A Release build as packagers make it (warnings do not stop it).
release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

run: build
	@./build/src/app/trelvane

demo: build
	@bash scripts/demo.sh build

# A Debian package of what is built, in build/packages/ (the one of this version only).
package: build
	@rm -rf build/packages
	@cmake --build --preset default --target package

# The package checked as Debian checks packages: no error allowed (needs lintian).
package-check: package
	@lintian --fail-on error build/packages/trelvane_*.deb

# What the compiler cannot check: licence lines, and what src/platform may include.
check-sources:
	@bash scripts/check-sources.sh

test: build
	@ctest --preset default

test-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)
	@ctest --preset asan

test-large: build
	@ctest --preset large

bench: build
	@bash bench/run.sh build

fuzz: deps
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)

# A short run of every fuzz target, seeded from the checked-in and generated seeds.
fuzz-ci: fuzz
	@bash fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

format:
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format -i

format-check:
	@git ls-files '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror

clean:
	@rm -rf build build-asan build-fuzz build-release

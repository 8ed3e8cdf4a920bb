# A thin convenience layer over CMake; tools/ holds the real steps.
.PHONY: all demo test test-asan test-clang fuzz package format format-check clean

# Parallel jobs: one per core, never unbounded.
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# Seconds per fuzz target for `make fuzz`.
FUZZ_SECONDS ?= 60

all:
	sh tools/ensure-deps demo
	cmake --preset release >/dev/null && cmake --build --preset release -j $(JOBS)

demo:
	sh tools/demo

test:
	sh tools/test

test-asan:
	sh tools/test --sanitize

test-clang:
	sh tools/test --clang

fuzz:
	sh fuzz/run.sh $(FUZZ_SECONDS)

# build/qdpext_VERSION_ARCH.deb, from a build of the programs alone.
package:
	sh tools/ensure-deps package
	cmake --preset release -DBUILD_TESTING=OFF >/dev/null && cmake --build --preset release -j $(JOBS)
	cd build && cpack -G DEB

format:
	sh tools/format

format-check:
	sh tools/format --check

clean:
	rm -rf build build-dev build-asan build-clang build-ci build-bench build-fuzz

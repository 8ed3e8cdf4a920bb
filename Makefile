# A thin convenience layer over CMake; tools/ holds the real steps.
.PHONY: all demo test test-asan test-clang fuzz clean

# Seconds per fuzz target for `make fuzz`.
FUZZ_SECONDS ?= 60

all:
	sh tools/ensure-deps
	cmake -S . -B build >/dev/null && cmake --build build -j

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

clean:
	rm -rf build build-asan build-clang build-bench build-fuzz

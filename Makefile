# A thin convenience layer over CMake; tools/ holds the real steps.
.PHONY: all demo test test-asan test-clang clean

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

clean:
	rm -rf build build-asan build-clang build-bench build-fuzz

#!/bin/sh
# Builds qdpext as users get it (the default optimised build) together with
# the measuring tools, in build-bench/. Sourced by the measuring scripts.
set -eu
sh tools/ensure-deps bench
bench_build=build-bench
cmake --preset bench >/dev/null
cmake --build --preset bench -j 2 --target qdpext make_inputs qdp_floor pair_timer >/dev/null
qdpext=$(pwd)/$bench_build/qdpext
make_inputs=$(pwd)/$bench_build/bench/make_inputs
floor=$(pwd)/$bench_build/bench/floor
pair_timer=$(pwd)/$bench_build/bench/pair_timer

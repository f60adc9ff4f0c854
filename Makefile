# Thin front end over the CMake presets.
#   make run   build crt and run it in run/, plotting the curve into run/ispis.png
#   make test  build and pass all tests
.PHONY: run test test-sanitize bench build tools clean

tools:
	scripts/install-build-tools.sh

build: tools
	cmake --preset default
	cmake --build --preset default

run: build
	scripts/run-plot.sh build/default/crt

test: build
	ctest --preset default

test-sanitize: tools
	cmake --preset sanitize
	cmake --build --preset sanitize
	ctest --preset sanitize

bench: build
	build/default/bench/crt_bench

clean:
	rm -rf build run

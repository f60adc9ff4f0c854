# Thin front end over the CMake presets.
#   make run   build crt and run it in run/, plotting the curve into run/ispis.png
#   make test  build and pass all tests
#   make windows       cross-build build/windows/crt.exe (Windows x64, one static executable)
#   make test-windows  build for Windows and pass all tests under Wine
.PHONY: run test test-sanitize bench build tools clean windows-tools windows test-windows

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

windows-tools:
	scripts/install-windows-tools.sh

windows: windows-tools
	cmake --preset windows
	cmake --build --preset windows

# The Wine server the tests start stays up between tests; stop it afterwards,
# whatever the tests gave.
test-windows: windows
	ctest --preset windows; status=$$?; cmake/wine-run.sh --stop-server; exit $$status

clean:
	rm -rf build run

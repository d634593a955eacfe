# Entry points: `make test` installs what is missing, builds the Windows
# executable and the native tests, and runs every test.

.PHONY: test deps win32 native dist wine-prefix clean

test: win32 dist native wine-prefix
	ctest --preset native

deps:
	@bash tools/install-deps.sh

win32: deps
	cmake --preset win32
	cmake --build --preset win32

native: deps
	cmake --preset native
	cmake --build --preset native

wine-prefix:
	@bash tools/wine-prefix.sh build/wine/e2e

dist: win32
	bash tools/make-dist.sh

clean:
	rm -rf build dist

# Entry points: `make test` installs what is missing, builds the Windows
# executable, the release package and the native tests, makes the Wine
# prefix, and runs every test (native, artifact checks, end-to-end under
# Wine). `make run` runs the tool under Wine on a machine of its own.

.PHONY: test deps win32 native dist wine-prefix run run-reset screenshots clean

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

# The main job on the default machine, under Wine: boxes shown and
# answered in the terminal (see tools/run.py for ANSWERS and RUN_WINDOWS).
run: win32
	@/usr/bin/python3 tools/run.py

run-reset: win32
	@/usr/bin/python3 tools/run.py --reset

# A PNG of each box of the main dialogue, drawn by Wine under Xvfb.
screenshots: win32
	@/usr/bin/python3 tools/screenshots.py

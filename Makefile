# Thin wrapper over the CMake presets; the build logic lives in CMakeLists.txt.
.PHONY: demo test bench deps linux windows sanitize dist format

demo: deps
	cmake --preset linux
	cmake --build --preset linux --target folioinst
	tools/demo.sh build/linux/folioinst

test: deps linux windows sanitize
	ctest --preset linux
	ctest --preset sanitize -L tier1

# Not a test: the status commands' times under Wine against their floors (tools/bench/).
bench: deps windows
	tools/bench.sh build/windows

deps:
	tools/install-deps.sh

linux:
	cmake --preset linux
	cmake --build --preset linux

windows:
	cmake --preset windows
	cmake --build --preset windows

sanitize:
	cmake --preset sanitize
	cmake --build --preset sanitize

# The product folder: build/dist/Folioscope/Setup/ holds the installer and the files it
# places; the tray companion sits one level up, where the installer starts it from.
dist: windows
	rm -rf build/dist/Folioscope
	cmake --install build/windows --prefix build/dist/Folioscope

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

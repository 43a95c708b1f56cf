# The two commands of the README: `make run` and `make test`.
# Both start by installing whatever Debian packages are missing.

BUILD      := build
ASAN_BUILD := build-asan
FUZZ_BUILD := build-fuzz
TSAN_BUILD := build-tsan
JOBS       ?= $(shell nproc)

WIN_BUILD  := build-win64
PREFIX     ?= /usr/local

.PHONY: all deps build asan tsan run test bench bench-neverputt fuzz format clean install windows windows-test

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DPINWHEEL_SANITIZE=ON

$(TSAN_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DPINWHEEL_TSAN=ON

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

asan: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The threads meet in the sound: the feeder on the timer's thread, the
# music's operations on the main one, the mixer on the audio thread.
tsan: deps $(TSAN_BUILD)/CMakeCache.txt
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target xv_snd_test

# Without a display (a server, a container) the game runs on a virtual screen.
# ARGS go to the game: make run ARGS="--hole 5" shows hole 5.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then cd $(BUILD)/game && ./pinwheel $(ARGS); \
	else scripts/run-headless $(ARGS); fi

test: build asan tsan
	ctest --test-dir $(BUILD) -j $(JOBS) --output-on-failure
	ctest --test-dir $(ASAN_BUILD) -j $(JOBS) --output-on-failure
	cd $(TSAN_BUILD)/tests && TSAN_OPTIONS=halt_on_error=1 ./xv_snd_test

# The frame benchmark needs a screen: without a display it gets Xvfb's.
bench: build
	@for b in $(BUILD)/bench/bench_*; do \
	    if [ -z "$$DISPLAY" ] && [ $$b = $(BUILD)/bench/bench_frame ]; then \
	        xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" $$b; else $$b; fi; \
	done

# Neverputt's first hole beside ours, frames counted by Mesa's HUD: the
# yardstick the frame benchmark's figures are read against.
bench-neverputt: build
	@scripts/install-deps neverputt
	bench/neverputt_yardstick $(BUILD)/game

# Coverage-guided fuzzing with clang's libFuzzer (the same targets replay
# their corpora as ordinary tests in the two builds above). Clang 16:
# Debian's default clang 14 cannot compile libstdc++ 12's source_location.
# scripts/fuzz-run runs one target for a while.
fuzz:
	@scripts/install-deps fuzz
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=Debug -DPINWHEEL_LIBFUZZER=ON \
	    -DCMAKE_C_COMPILER=clang-16 -DCMAKE_CXX_COMPILER=clang++-16
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers

# The game for Linux under PREFIX (DESTDIR for a staging folder): the
# program in PREFIX/games, its data in PREFIX/share/games/pinwheel, a menu
# entry and its icon.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The game for Windows, cross-built with mingw-w64 from Debian's packages
# and source packages (the libraries once, cached in ~/.cache/pinwheel/):
# dist/pinwheel-win64.zip. The data comes from the Linux build.
windows: build
	@scripts/install-deps windows
	scripts/win64-build

# The Windows build checked under Wine: its unit tests, then the program on
# a virtual screen against the Linux build.
windows-test: build
	@scripts/install-deps windows
	scripts/win64-build tests
	scripts/win64-test

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(TSAN_BUILD) $(WIN_BUILD) dist

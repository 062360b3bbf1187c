# Korvo: `make run` builds and starts the program, `make test` builds and runs every test.
BUILD     ?= build
ASAN      ?= build-asan
WINBUILD  ?= build-windows
GENERATOR := -G Ninja
CMAKE_ARGS ?=
ifeq ($(CI),true)
CMAKE_ARGS += -DKORVO_WERROR=ON
endif

.PHONY: all deps deps-windows build run test sanitize bench bench-startup bench-tempo package screenshots format \
	format-check translations translations-check windows test-windows clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(GENERATOR) $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD)

run: build
	@scripts/run-korvo.sh $(BUILD)/app/korvo

test: build
	cd $(BUILD) && ctest --output-on-failure -j2

# The package check (label "package") is left out: it looks at files, not at code, and `make test`
# runs it.
sanitize: deps
	cmake -S . -B $(ASAN) $(GENERATOR) $(CMAKE_ARGS) -DKORVO_SANITIZE=ON -DKORVO_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(ASAN)
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j2 -LE package

bench: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/korvo_bench
	$(BUILD)/bench/korvo_sample_bench
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/korvo_play_bench

# Start-up time and peak memory against a minimal Qt window, offscreen and on a private X server.
bench-startup: build
	$(BUILD)/bench/startup_compare $(BUILD)/bench/korvo_firstframe $(BUILD)/bench/minimal_window

# Sample tempo on a generated corpus of drum loops and takes (real kits and General MIDI renderings), beside
# three free tools on the same files; the sound packages it needs are for this benchmark alone. QUICK=1:
# eight synthesized files and Korvo alone, nothing to install beyond the build's own packages (CI).
bench-tempo: build
ifeq ($(QUICK),1)
	python3 bench/tempo_bench.py --build $(BUILD) --quick
else
	@scripts/install-deps.sh --bench
	python3 bench/tempo_bench.py --build $(BUILD) $(if $(SEED),--seed $(SEED))
endif

package: build
	cd $(BUILD) && cpack -G DEB

# Every window as PNG under docs/, in Japanese and English (*-en.png), at device pixel ratio 1 and 2
# (*-2x.png).
# The offscreen screen is made desktop-sized: message boxes wrap their text to the screen's width.
SHOTS_QPA := offscreen:configfile=docs/offscreen-screen.json
screenshots: build
	for lang in ja en; do for scale in 1 2; do \
		QT_QPA_PLATFORM=$(SHOTS_QPA) QT_SCALE_FACTOR=$$scale $(BUILD)/docs/korvo_screenshots docs $$lang || exit 1; \
	done; done

# Lays out every C++ file with clang-format and the root's .clang-format; format-check only reports
# (CI fails on any difference).
format: deps
	@scripts/format.sh

format-check: deps
	@scripts/format.sh --check

# The English catalogue (translations/korvo_en.ts) takes in the texts the code has now;
# translations-check fails when it is stale or any text lacks its English (CI runs it).
translations: deps
	@scripts/translations.sh update

translations-check: deps
	@scripts/translations.sh check

# Windows, cross-built here: $(WINBUILD)/korvo-<version>-win64.zip and korvo-<version>-setup.exe, and
# the test suites run under Wine. Qt for Windows and the audio libraries (libsndfile with its codecs,
# KissFFT) come from scripts/windows-toolchain.sh; pkg-config looks only into the audio tree's .pc
# files. Release
# without debug information keeps the cross build quick; -O2, since GCC 12 at -O3 warns falsely
# (-Wrestrict) inside std::string.
deps-windows:
	@scripts/install-deps.sh --windows

$(WINBUILD)/build.ninja: | deps-windows
	set -- $$(scripts/windows-toolchain.sh) && qt=$$1 && audio=$$2 && \
	PKG_CONFIG_LIBDIR=$$audio/lib/pkgconfig \
	cmake -S . -B $(WINBUILD) $(GENERATOR) $(CMAKE_ARGS) -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
		-DCMAKE_TOOLCHAIN_FILE=$$qt/mingw-toolchain.cmake -DCMAKE_PREFIX_PATH=$$qt \
		-DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake

windows: deps-windows $(WINBUILD)/build.ninja
	cmake --build $(WINBUILD) --target korvo_windows_packages

test-windows: deps-windows $(WINBUILD)/build.ninja
	@scripts/test-locales.sh
	cmake --build $(WINBUILD)
	@scripts/test-windows.sh $(WINBUILD)

clean:
	rm -rf $(BUILD) $(ASAN) $(WINBUILD)

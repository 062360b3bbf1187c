# Korvo: `make run` builds and starts the program, `make test` builds and runs every test.
BUILD     ?= build
ASAN      ?= build-asan
GENERATOR := -G Ninja
CMAKE_ARGS ?=
ifeq ($(CI),true)
CMAKE_ARGS += -DKORVO_WERROR=ON
endif

.PHONY: all deps build run test sanitize bench package clean

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
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2

sanitize: deps
	cmake -S . -B $(ASAN) $(GENERATOR) $(CMAKE_ARGS) -DKORVO_SANITIZE=ON -DKORVO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
	cmake --build $(ASAN)
	cd $(ASAN) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j2

bench: build
	QT_QPA_PLATFORM=offscreen $(BUILD)/bench/korvo_bench

package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN)

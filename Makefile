# Two entry points for a fresh Debian 12 machine:
#   make demo   installs what is missing, builds, and starts the program
#               against the built-in simulated controller
#   make test   installs what is missing, builds with warnings as errors and
#               runs every test, then again under ASan and UBSan

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMEX_WERROR=ON

.PHONY: all deps build build-asan demo test test-plain test-asan fuzz format clean

all: build

deps:
	./scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DLUMEX_SANITIZE=ON -DLUMEX_BUILD_BENCH=OFF

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

demo: build
	./scripts/demo.sh $(BUILD)/bin

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

test: test-plain test-asan

fuzz: deps
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
		-DLUMEX_LIBFUZZER=ON -DLUMEX_SANITIZE=ON -DLUMEX_BUILD_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS)

format:
	find src sim tools tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz

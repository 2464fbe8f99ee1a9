# Two entry points for a fresh Debian 12 machine:
#   make demo   installs what is missing, builds, and starts the program
#               against the built-in simulated controller
#   make test   installs what is missing, builds with warnings as errors and
#               runs every test, then again under ASan and UBSan, then the
#               threaded tests under TSan (each tree also replays the fuzz
#               corpora through the plain driver)

JOBS ?= $(shell nproc)
# Most tests wait on the simulator's pty rather than compute, so ctest runs
# more of them at once than there are cores.
TEST_JOBS ?= $(shell echo $$(( $(JOBS) * 2 )))
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
# clang builds every tree in half the time gcc takes (a third under the
# sanitizers); `make test-plain CXX_COMPILER=g++ BUILD=build-gcc` checks gcc.
CXX_COMPILER ?= clang++
CMAKE_FLAGS ?= -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=$(CXX_COMPILER) -DLUMEX_WERROR=ON
# Line tables are enough for backtraces and sanitizer reports; full debug
# information costs a quarter of the optimised compile time.
PLAIN_FLAGS ?= -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"

.PHONY: all deps build package package-check docs-screenshots build-asan build-tsan fuzz-build demo demo-legacy test test-plain test-asan test-tsan test-clang fuzz soak format clean

all: build

deps:
	./scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) $(PLAIN_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
		-DLUMEX_SANITIZE=ON -DLUMEX_BUILD_BENCH=OFF

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# Only what the data-race checker needs: the core, the simulator and the
# threaded tests (see LUMEX_TSAN).
$(TSAN_BUILD)/build.ninja:
	cmake -S . -B $(TSAN_BUILD) $(CMAKE_FLAGS) -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
		-DLUMEX_TSAN=ON -DLUMEX_BUILD_BENCH=OFF

build-tsan: deps $(TSAN_BUILD)/build.ninja
	cmake --build $(TSAN_BUILD) -j $(JOBS)

# clang with libFuzzer, ASan and UBSan: the core, the simulator and the fuzz
# targets, no windows.
$(FUZZ_BUILD)/build.ninja:
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
		-DLUMEX_WERROR=ON -DLUMEX_LIBFUZZER=ON -DLUMEX_SANITIZE=ON -DLUMEX_BUILD_BENCH=OFF

fuzz-build: deps $(FUZZ_BUILD)/build.ninja
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target lumex_fuzz_targets

# The Debian package of the installed layout (cmake/Install.cmake), in $(BUILD)/.
package: build
	cd $(BUILD) && cpack -G DEB

# The package unpacked into a temporary root runs the demo (needs Xvfb).
package-check: package
	./scripts/check-package.sh $(BUILD)/lumex2_*.deb

# The manual's screenshots, taken from the demo (needs Xvfb).
docs-screenshots: build
	./scripts/docs-screenshots.sh $(BUILD)/bin

demo: build
	./scripts/demo.sh $(BUILD)/bin

# The legacy configurator against a simulated 1.5 controller.
demo-legacy: build
	./scripts/demo-legacy.sh $(BUILD)/bin

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(TEST_JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(TEST_JOBS)

test-tsan: build-tsan
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --output-on-failure -j $(TEST_JOBS)

# The clang build, and each target replaying its committed corpus through
# libFuzzer. Not part of `make test`: the sanitizer tree already replays every
# corpus through the plain driver, and CI time is better spent there.
test-clang: fuzz-build
	./scripts/fuzz.sh $(FUZZ_BUILD) replay

test: test-plain test-asan test-tsan

# The fault matrix for longer than `make test` runs it: SOAK_FAULTS faults
# (default 50000) within SOAK_SECONDS (default 3600).
SOAK_FAULTS ?= 50000
SOAK_SECONDS ?= 3600
soak: build
	LUMEX_FAULTS=$(SOAK_FAULTS) LUMEX_FAULT_SECONDS=$(SOAK_SECONDS) LUMEX_FAULT_LANES=80 \
		$(BUILD)/bin/mainwindow_fault_matrix_test

# Each target for FUZZ_RUNS executions (default 1000000) or FUZZ_SECONDS
# seconds (default 1800), whichever comes first.
fuzz: fuzz-build
	./scripts/fuzz.sh $(FUZZ_BUILD) run


format:
	find src sim tools tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)

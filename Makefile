# Entry points for people and CI. Every target installs what is missing first.
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
RELEASE_DIR ?= build-release
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# The test builds are for running the suite, not for stepping through in a debugger: line tables
# only (-g1; failures and sanitizer stack traces keep their file:line) and the lld linker. Linking
# the thirty-odd test and benchmark programs then takes seconds instead of minutes, and a cold
# `make test` build needs about a quarter less CPU time. For a debugger, configure a Debug build
# of your own.
TEST_CMAKE_FLAGS = -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DKIVORA_LINKER=lld
# AUTOMOC in an existing build folder misses headers that gained Q_OBJECT since the last build;
# dropping its timestamps makes it rescan (it still regenerates only what changed).
RESCAN_MOC = find $(1) -maxdepth 3 -path '*_autogen/timestamp' -delete 2>/dev/null || true

.PHONY: all deps build run checks check-layers check-layers-selftest check-local-names check-local-names-selftest \
	test test-asan bench fuzz clean

all: build

deps:
	@bash scripts/install-deps.sh

$(RELEASE_DIR)/build.ninja: | deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVORA_BUILD_TESTS=OFF $(CMAKE_FLAGS)

build: deps $(RELEASE_DIR)/build.ninja
	@$(call RESCAN_MOC,$(RELEASE_DIR))
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target kivora

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ] && [ -z "$$QT_QPA_PLATFORM" ]; then \
		echo "No display found. Start Kivora under a virtual display instead:  xvfb-run -a make run"; \
		exit 1; \
	fi
	./$(RELEASE_DIR)/kivora

# Includes must run down the layer order written in the script; CI fails on one that runs up.
check-layers:
	@bash scripts/check-layers.sh

# Plants upward includes, one form at a time, in a copy of the tree and expects the check to fail.
check-layers-selftest:
	@bash scripts/check-layers-selftest.sh

# No two sources of the library keep a helper of the same name to themselves: the sanitizer build
# compiles them in unity batches, where such names clash (or quietly overload) across files.
check-local-names:
	@bash scripts/check-local-names.sh

# Plants such pairs in a copy of the tree and expects the check to fail on each.
check-local-names-selftest:
	@bash scripts/check-local-names-selftest.sh

# The checks that read the sources, run before anything is compiled.
checks: check-layers check-layers-selftest check-local-names check-local-names-selftest

test: deps checks
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug $(TEST_CMAKE_FLAGS) $(CMAKE_FLAGS)
	@$(call RESCAN_MOC,$(BUILD_DIR))
	cmake --build $(BUILD_DIR) -j $(JOBS)
	cd $(BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-asan: deps check-local-names
	cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKIVORA_SANITIZE=ON -DKIVORA_BUILD_BENCH=OFF \
		-DKIVORA_UNITY_CORE=ON -DKIVORA_TEST_PCH=ON $(TEST_CMAKE_FLAGS) $(CMAKE_FLAGS)
	@$(call RESCAN_MOC,$(ASAN_DIR))
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && QT_QPA_PLATFORM=offscreen \
		ASAN_OPTIONS=detect_leaks=1 \
		LSAN_OPTIONS=suppressions=$(CURDIR)/.ci/lsan.supp:print_suppressions=0 \
		UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(RELEASE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIVORA_BUILD_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(RELEASE_DIR) -j $(JOBS)

# Builds the fuzz targets of fuzz/ with clang and libFuzzer and runs each for FUZZ_SECONDS (three at
# a time); `make test` replays their committed corpus with the ordinary build.
FUZZ_SECONDS ?= 300
fuzz:
	@KIVORA_FUZZ=1 bash scripts/install-deps.sh
	bash scripts/fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(RELEASE_DIR) build-fuzz

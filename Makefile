# The two set-up commands of the README, and a few helpers.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: run test build configure deps sample clean test-sanitize fuzz-build fuzz-ci package package-test screens-test

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja $(CMAKE_FLAGS) $(if $(CI),-DTARNBY_WERROR=ON,)

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# Builds, prepares the bundled sample data and runs the main job on it.
run: build
	@scripts/run-sample.sh $(BUILD_DIR)

# Builds and runs the whole test suite; non-zero on any failure.
test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# The whole test suite again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer in a folder of its own; any report fails.
# Besides -fsanitize=undefined's own checks: a float converted to an integer
# type that cannot hold it, and a float divided by zero (the code checks its
# divisors itself and never relies on an infinity from a division).
# SANITIZE_SKIP: a ctest -E pattern of tests to leave out (none today).
SANITIZE_DIR ?= build-sanitize
SANITIZE_SKIP ?=
SANITIZERS ?= address,undefined,float-cast-overflow,float-divide-by-zero
test-sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DTARNBY_SANITIZE=$(SANITIZERS) $(CMAKE_FLAGS) $(if $(CI),-DTARNBY_WERROR=ON,)
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	@cd $(SANITIZE_DIR) && ctest --output-on-failure -j $(JOBS) $(if $(SANITIZE_SKIP),-E '$(SANITIZE_SKIP)',)

# The libFuzzer targets of fuzz/, built with clang in a folder of their own.
# fuzz-ci runs each for FUZZ_SECONDS on a scratch copy of its seed corpus,
# after replaying the kept inputs; any crash or report fails. Longer runs by
# hand: scripts/fuzz.sh (see fuzz/README.md). Built without -Werror: the
# two g++ builds keep the code free of warnings; clang's own set differs.
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 30
fuzz-build: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DTARNBY_FUZZ=ON $(CMAKE_FLAGS)
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz_targets

fuzz-ci: fuzz-build
	@scripts/fuzz.sh $(FUZZ_DIR) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(FUZZ_DIR)

# The Debian package of the installation (build/tarnby_<version>_<arch>.deb).
package: build
	@cd $(BUILD_DIR) && cpack -G DEB

# The package built, checked by lintian, installed with apt-get and tried
# (scripts/package-test.sh; needs root or sudo).
package-test: build
	@scripts/package-test.sh $(BUILD_DIR)

# The desktop's screen tests under Xvfb with openbox, pictures kept in
# $(BUILD_DIR)/screens (scripts/screens-test.sh).
screens-test: build
	@scripts/screens-test.sh $(BUILD_DIR)

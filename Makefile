# The two set-up commands of the README, and a few helpers.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: run test build configure deps sample clean

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

clean:
	rm -rf $(BUILD_DIR)

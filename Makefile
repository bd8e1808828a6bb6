# make run: install what running needs, build, pack web/ and start lumio-app.
# make test: install the test tools too, build with the tests, run every test (unit and
# end-to-end) through CTest.
# make build TESTS=ON: the build that make test uses, without running the tests.
# make package: the .deb of the installed layout, in the build folder.
# make bench: build with the tests, then measure lumio-app against a bare Qt WebEngine
# program (bench/run_bench.py, a few minutes) and write bench/RESULTS.md.
# WEB_DIR=path/to/dist with any of them: pack that web application instead of web/.
BUILD ?= build
JOBS ?= $(shell nproc)
TESTS ?= OFF

.PHONY: all deps build run test package bench clean

all: build

# Set for test and bench and, through them, for the deps and build they depend on.
test bench: TESTS = ON

deps:
	scripts/install-deps.sh $(if $(filter ON,$(TESTS)),--test)

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIO_BUILD_TESTS=$(TESTS) \
	  $(if $(WEB_DIR),-DLUMIO_WEB_DIR=$(abspath $(WEB_DIR)))
	cmake --build $(BUILD) -j $(JOBS)

run: build
	scripts/run.sh $(BUILD)/stage/bin/lumio-app

test: build
	cd $(BUILD) && ctest --output-on-failure

bench: build
	LUMIO_BUILD=$(abspath $(BUILD)) /usr/bin/python3 bench/run_bench.py $(BENCH_ARGS)

package: build
	cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD)

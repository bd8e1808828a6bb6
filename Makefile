# make run: install what running needs, build, pack web/ and start lumio-app.
# make test: install the test tools too, build with the tests, run every test (unit and
# end-to-end) through CTest.
# make build TESTS=ON: the build that make test uses, without running the tests.
BUILD ?= build
JOBS ?= $(shell nproc)
TESTS ?= OFF

.PHONY: all deps build run test clean

all: build

# Set for test and, through it, for the deps and build it depends on.
test: TESTS = ON

deps:
	scripts/install-deps.sh $(if $(filter ON,$(TESTS)),--test)

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIO_BUILD_TESTS=$(TESTS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	scripts/run.sh $(BUILD)/stage/bin/lumio-app

test: build
	cd $(BUILD) && ctest --output-on-failure

clean:
	rm -rf $(BUILD)

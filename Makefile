# make run: install what is needed, build, pack web/ and start lumio-app.
# make test: the same set-up, then every test (unit and end-to-end) through CTest.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build run test clean

all: build

deps:
	scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

run: build
	scripts/run.sh $(BUILD)/stage/bin/lumio-app

test: build
	cd $(BUILD) && ctest --output-on-failure

clean:
	rm -rf $(BUILD)

# make run: install what running needs, build, pack web/ and start lumio-app.
# make test: install the test tools too, build with the tests, run every test (unit and
# end-to-end) through CTest.
# make build TESTS=ON: the build that make test uses, without running the tests.
# make package: the .deb of the installed layout, in the build folder; refused when
# its version was built before with other content.
# make repo REPO=folder KEY=gpg-key-id: make package, then publish it into a signed
# apt repository folder (scripts/publish-repo.sh).
# make bench: build with the tests, then measure lumio-app against a bare Qt WebEngine
# program (bench/run_bench.py, a few minutes) and write bench/RESULTS.md.
# WEB_DIR=path/to/dist with any of them: pack that web application instead of web/.
# make soak: the long load and fault tests of the real program (CTest label soak),
# which make test leaves out.
# make asan: the unit tests built with AddressSanitizer and UndefinedBehaviorSanitizer
# in build-asan (no programs), then run; any report fails it.
# make unit: the build of make test, but only the unit tests built and run (seconds).
# make format-check: every C++ file of src/, tests/, bench/ and fuzz/ against
# .clang-format; any difference fails it (clang-format -i on a file fixes it).
# make tidy: clang-tidy with the checks of .clang-tidy over src/, from the build's
# compile_commands.json; any finding fails it.
BUILD ?= build
JOBS ?= $(shell nproc)
TESTS ?= OFF

.PHONY: all deps build run test unit format-check tidy package repo bench soak asan clean

all: build

# Set for these and, through them, for the deps and build they depend on.
test unit format-check tidy bench soak asan: TESTS = ON

deps:
	scripts/install-deps.sh $(if $(filter ON,$(TESTS)),--test)

CONFIGURE = cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUMIO_BUILD_TESTS=$(TESTS) $(if $(WEB_DIR),-DLUMIO_WEB_DIR=$(abspath $(WEB_DIR)))

build: deps
	$(CONFIGURE)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	scripts/run.sh $(BUILD)/stage/bin/lumio-app

test: build
	cd $(BUILD) && ctest --output-on-failure -LE soak

unit: deps
	$(CONFIGURE)
	cmake --build $(BUILD) -j $(JOBS) --target lumio_unit_tests
	$(BUILD)/tests/unit/lumio_unit_tests

format-check: deps
	scripts/check-format.sh

tidy: build
	JOBS=$(JOBS) scripts/check-tidy.sh $(BUILD)

soak: build
	cd $(BUILD) && ctest --output-on-failure -L soak

SANITIZE = -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer
asan: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIO_BUILD_TESTS=ON \
	  -DLUMIO_BUILD_PROGRAMS=OFF -DCMAKE_CXX_FLAGS="$(SANITIZE)"
	cmake --build build-asan -j $(JOBS) --target lumio_unit_tests
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 build-asan/tests/unit/lumio_unit_tests

bench: build
	LUMIO_BUILD=$(abspath $(BUILD)) /usr/bin/python3 bench/run_bench.py $(BENCH_ARGS)

# A version built before with other content is refused (scripts/deb-release.py keeps
# what each version held in RELEASES).
RELEASES ?= $(BUILD)/releases
package: build
	cd $(BUILD) && cpack -G DEB
	scripts/deb-release.py $(RELEASES) $(BUILD)/*.deb

# make repo REPO=folder KEY=key-id: make package, then publish its .deb into the
# signed apt repository REPO (scripts/publish-repo.sh), signed with gpg's key KEY.
repo: package
	@[ -n "$(REPO)" ] && [ -n "$(KEY)" ] || { echo "make repo needs REPO=folder KEY=gpg-key-id" >&2; exit 2; }
	scripts/publish-repo.sh --origin "$$(cat $(BUILD)/repo-origin)" --key "$(KEY)" $(REPO) \
	  $$(ls -t $(BUILD)/*.deb | head -n 1)

clean:
	rm -rf $(BUILD) build-asan

# gpslib — the two commands of the README, and a few more for developers.
#
#   make test       install missing Debian packages (as root), configure, build, run every test
#   make demo       build only what the walk needs, register the modules in the build tree's
#                   registry, walk the demo (DEMO_ARGS=--speak to hear it)
#   make package    build a Debian package (build-package/gpslib_VERSION_ARCH.deb) with CPack
#   make sanitize   the test suite under the address and undefined-behaviour sanitizers
#   make tsan       the test suite under the thread sanitizer
#   make locks      build everything with clang, whose lock analysis must find nothing
#   make bench      build and run the benchmarks
#   make fuzz       build the libFuzzer targets with clang and run each for FUZZ_SECONDS
#                   (or until FUZZ_RUNS executions, when set), FUZZ_JOBS at a time
#   make format     clang-format every source file
#   make tidy       clang-tidy over the project's own sources

BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)
PACKAGES   := cmake ninja-build g++ make python3 libgtest-dev libgmock-dev libbenchmark-dev libgeographiclib-dev libsqlite3-dev \
              libosmium2-dev libprotozero-dev zlib1g-dev libbz2-dev libexpat1-dev libtinyxml2-dev \
              libedit-dev libicu-dev gpsd gpsd-clients espeak-ng pkg-config chromium nodejs npm

FUZZ_SECONDS ?= 60
FUZZ_RUNS    ?= -1
# An input that takes longer than this is a hang to someone waiting for an answer.
FUZZ_TIMEOUT ?= 5
# Targets run side by side, one a core; FUZZ_TARGETS="nmea gpx" runs only those.
FUZZ_JOBS    ?= $(JOBS)
FUZZ_TARGETS ?=
# FUZZ_FORK=2 runs each target as one run over two worker processes (for one long, slow target).
FUZZ_FORK    ?= 1
# The file-backed targets write a file per input: in memory when the machine has /dev/shm.
FUZZ_TMPDIR  ?= $(if $(wildcard /dev/shm/.),/dev/shm,/tmp)

.PHONY: all deps configure build test demo package sanitize tsan locks bench fuzz format tidy clean

all: build

# Installs what is missing when run as root; otherwise names it and goes on. A package counts as
# there when an installed one provides it (another build of nodejs brings its own npm).
deps:
	@installed="$$(dpkg-query -W -f '$${db:Status-Abbrev} $${Package} $${Provides}\n' 2>/dev/null | \
	  sed -n 's/^ii *//p' | tr ', ' '\n\n' | sed 's/(.*//')"; \
	missing=""; for p in $(PACKAGES); do \
	  echo "$$installed" | grep -qx "$$p" || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q $$missing; \
	  else echo "Missing packages (install them as root):$$missing"; fi; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Builds only what the walk needs (the CMake target demo-deps), not the tests and benchmarks.
demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target demo-deps
	GPSLIB_REGISTRY=$(CURDIR)/$(BUILD)/registry.reg $(BUILD)/apps/gpsreg/gpsreg $(BUILD)/gpscore/libgpscore.so
	GPSLIB_REGISTRY=$(CURDIR)/$(BUILD)/registry.reg $(BUILD)/apps/gpsreg/gpsreg $(BUILD)/mapengine/libgpsmap.so
	GPSLIB_REGISTRY=$(CURDIR)/$(BUILD)/registry.reg $(BUILD)/apps/gpsreg/gpsreg $(BUILD)/database/libgpsdb.so
	GPSLIB_REGISTRY=$(CURDIR)/$(BUILD)/registry.reg sh data/demo/run-demo.sh $(BUILD) $(DEMO_ARGS)

# A build of its own, configured for /usr, so that the service's compiled-in data folder is the
# package's.
package:
	$(MAKE) build BUILD=build-package \
	  CMAKE_ARGS="-DCMAKE_INSTALL_PREFIX=/usr -DGPSLIB_BUILD_TESTS=OFF -DGPSLIB_BUILD_BENCH=OFF"
	cd build-package && cpack -G DEB

sanitize:
	$(MAKE) test BUILD=build-asan CMAKE_ARGS="-DGPSLIB_SANITIZE=address,undefined -DGPSLIB_BUILD_BENCH=OFF"

tsan:
	$(MAKE) test BUILD=build-tsan CMAKE_ARGS="-DGPSLIB_SANITIZE=thread -DGPSLIB_BUILD_BENCH=OFF"

locks:
	$(MAKE) deps PACKAGES="$(PACKAGES) clang"
	CC=clang CXX=clang++ cmake -S . -B build-clang -G Ninja -DCMAKE_BUILD_TYPE=Debug -DGPSLIB_BUILD_BENCH=OFF
	cmake --build build-clang -j $(JOBS)

# Runs every benchmark program even after a failure, then fails when any did. A benchmark
# without its data says so (SKIPPED) and does not fail the run.
bench:
	$(MAKE) build BUILD=build-release BUILD_TYPE=Release
	@failed=""; for b in build-release/bench/*_bench; do \
	  $$b || failed="$$failed $$(basename $$b)"; done; \
	if [ -n "$$failed" ]; then echo "make bench: failed:$$failed"; exit 1; fi

fuzz:
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DGPSLIB_FUZZ=ON -DGPSLIB_BUILD_BENCH=OFF
	cmake --build build-fuzz -j $(JOBS)
	TMPDIR=$(FUZZ_TMPDIR) FORK=$(FUZZ_FORK) fuzz/run.sh build-fuzz $(FUZZ_JOBS) $(FUZZ_SECONDS) \
	  $(FUZZ_RUNS) $(FUZZ_TIMEOUT) $(FUZZ_TARGETS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy: configure
	git ls-files '*.cpp' | grep -v '^tests/' | xargs clang-tidy -p $(BUILD) --quiet --extra-arg=-Wno-unknown-warning-option

clean:
	rm -rf build build-asan build-tsan build-clang build-release build-fuzz build-package

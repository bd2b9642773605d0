# The two entry points: `make demo` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || sysctl -n hw.ncpu)
CMAKE_FLAGS ?=
EXAMPLE_ENV = XDG_DATA_HOME=$(CURDIR)/examples TZ=Europe/Berlin
DEMO_IDS = family/home,family/kids,holidays.ics,personal,work/projects,work/team

.PHONY: all deps configure build demo test sanitize format program package install universal

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The demo builds the program alone, in a directory of its own, so it needs no GoogleTest and
# leaves the test build as it is.
DEMO_BUILD ?= $(BUILD)-demo

ifeq ($(shell uname -s),Darwin)
# On a Mac the demo reads the user's own calendars.
demo:
	@bash scripts/install-deps.sh --program
	cmake -S . -B $(DEMO_BUILD) -DVELKOR_TESTS=OFF -DVELKOR_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(DEMO_BUILD) -j $(JOBS) --target velkor-calendar
	@bash scripts/macos-demo.sh $(DEMO_BUILD)/velkor-calendar
else
# On Linux, over the example store.
demo:
	@bash scripts/install-deps.sh --program
	cmake -S . -B $(DEMO_BUILD) -DVELKOR_TESTS=OFF -DVELKOR_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(DEMO_BUILD) -j $(JOBS) --target velkor-calendar
	$(EXAMPLE_ENV) $(DEMO_BUILD)/velkor-calendar status
	$(EXAMPLE_ENV) $(DEMO_BUILD)/velkor-calendar calendars
	$(EXAMPLE_ENV) $(DEMO_BUILD)/velkor-calendar events 2026-12-07 2026-12-14 $(DEMO_IDS)
endif

# What a host application ships: the program and its desktop module (no tests, no benchmarks) in
# a build of its own, as Debian packages or installed under PREFIX. Only the program's build needs
# are installed. The prefix is the configured one: the program looks for its module there.
PACKAGE_BUILD ?= $(BUILD)-package
PREFIX ?= /usr/local

program:
	@bash scripts/install-deps.sh --program
	cmake -S . -B $(PACKAGE_BUILD) -DVELKOR_TESTS=OFF -DVELKOR_BENCH=OFF \
	  -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS)
	cmake --build $(PACKAGE_BUILD) -j $(JOBS) --target velkor-calendar

package:
	$(MAKE) program PREFIX=/usr
	cd $(PACKAGE_BUILD) && cpack

install: program
	cmake --install $(PACKAGE_BUILD) $(INSTALL_STRIP)

ifeq ($(shell uname -s),Darwin)
# A universal binary (arm64 and x86_64) linked once and signed after the link; what a host
# application bundles.
UNIVERSAL_BUILD ?= $(BUILD)-universal
# Installed as built: stripping would break the signature.
INSTALL_STRIP =

universal:
	@bash scripts/install-deps.sh --program
	cmake -S . -B $(UNIVERSAL_BUILD) -DVELKOR_TESTS=OFF -DVELKOR_BENCH=OFF \
	  "-DCMAKE_OSX_ARCHITECTURES=arm64;x86_64" $(CMAKE_FLAGS)
	cmake --build $(UNIVERSAL_BUILD) -j $(JOBS) --target velkor-calendar
	lipo -archs $(UNIVERSAL_BUILD)/velkor-calendar
else
# Installed without its debug information, which stays in the build.
INSTALL_STRIP = --strip

universal:
	@echo "universal binaries are macOS builds; on Linux use make package" >&2; exit 1
endif

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The same tests built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	$(MAKE) test BUILD=build-sanitize CMAKE_FLAGS="-DVELKOR_SANITIZE=ON -DVELKOR_BENCH=OFF"

format:
	git ls-files '*.cc' '*.h' '*.mm' | xargs clang-format -i

# Hardening: short libFuzzer runs (about a minute over all targets) and long ones by hand,
# clang-tidy over src/, the whole-process tests under valgrind, and the cross-check against
# python3-recurring-ical-events (also a CTest test when the modules are there).
FUZZ_SECONDS ?= 25
FUZZ_LONG_SECONDS ?= 1800
CROSSCHECK_PYTHON ?= $(firstword $(wildcard /usr/bin/python3) python3)

.PHONY: fuzz fuzz-long tidy valgrind crosscheck

fuzz: deps
	bash scripts/ci-fuzz.sh $(FUZZ_SECONDS) build-fuzz

fuzz-long: deps
	bash scripts/ci-fuzz.sh $(FUZZ_LONG_SECONDS) build-fuzz

tidy: configure
	bash scripts/ci-tidy.sh $(BUILD)

valgrind: build
	bash scripts/ci-valgrind.sh $(BUILD)

crosscheck: build
	$(CROSSCHECK_PYTHON) tests/crosscheck/crosscheck.py $(BUILD)/velkor-calendar

# Korvane: the two commands that matter are `make demo` and `make test`.
.PHONY: all deps build build-with-deps test test-sanitize fuzz-build fuzz-smoke fuzz bench demo install deb cross-build test-cross format clean

JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
GEN := -G Ninja

SAN_ENV := ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1 \
           UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

all: build

# Installs the Debian packages that are missing (as root; otherwise says which).
deps:
	@scripts/install-deps

define configure-and-build
cmake -S . -B $(BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build $(BUILD) -j $(JOBS)
endef

# make and make build only build: they say which packages are missing, and install nothing.
# (A missing library or tool then fails the configuration, or leaves its part out.)
build:
	@scripts/install-deps --check || true
	$(configure-and-build)

# make test and make demo set a fresh machine up: they install what is missing, then build.
build-with-deps: deps
	$(configure-and-build)

test: build-with-deps
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DKORVANE_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	$(SAN_ENV) ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

fuzz-build: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVANE_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# A short run of every fuzz target, as CI does.
fuzz-smoke: fuzz-build
	@set -e; for f in $(FUZZ_BUILD)/fuzz_*; do \
	    case $$f in *.log) continue;; esac; \
	    echo "== $$f"; $(SAN_ENV) $$f -runs=20000 -seed=1 >/dev/null 2>$$f.log || { cat $$f.log; exit 1; }; \
	    tail -n 1 $$f.log; done

# One fuzz target at length: make fuzz FUZZ=frame RUNS=1000000
FUZZ ?= frame
RUNS ?= 1000000
fuzz: fuzz-build
	$(SAN_ENV) $(FUZZ_BUILD)/fuzz_$(FUZZ) -runs=$(RUNS) -seed=1

bench: build
	@set -e; for b in $(BUILD)/bench_*; do echo "== $$b"; $$b; done

# The dialog in this terminal against korvane-sim on a pty; see scripts/demo.
demo: build-with-deps
	@scripts/demo $(BUILD)

# Installs below PREFIX (and DESTDIR, when set): make install PREFIX=$$HOME/.local
PREFIX ?= /usr/local
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian packages korvane_VERSION_ARCH.deb and korvane-window_VERSION_ARCH.deb, checked by
# lintian where it is installed. ARCH is this machine's (in $(BUILD)), or arm64 or armhf: a
# cross build in build-ARCH with Debian's cross compilers and the libraries of ARCH
# (scripts/install-deps --cross ARCH installs what is missing, or unpacks them into
# build-ARCH-sysroot where apt-get cannot install them beside this machine's), without the
# window back end (FLTK and X for ARCH are a large set of libraries; korvane uses the terminal
# there). So it makes korvane_VERSION_ARCH.deb alone: make deb ARCH=arm64
HOST_ARCH := $(shell dpkg --print-architecture 2>/dev/null)
ARCH ?= $(HOST_ARCH)
CROSS_BUILD ?= build-$(ARCH)
ifeq ($(ARCH),$(HOST_ARCH))
DEB_BUILD := $(BUILD)
DEB_PREREQ := build
else
DEB_BUILD := $(CROSS_BUILD)
DEB_PREREQ := cross-build
endif

deb: $(DEB_PREREQ)
	cd $(DEB_BUILD) && cpack -G DEB
	@if command -v lintian >/dev/null; then lintian --fail-on error $(DEB_BUILD)/korvane*_$(ARCH).deb; fi

cross-build:
	@[ "$(ARCH)" != "$(HOST_ARCH)" ] || { echo "ARCH=$(ARCH) is this machine's: make build" >&2; exit 2; }
	scripts/install-deps --cross $(ARCH)
	cmake -S . -B $(CROSS_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/$(ARCH).cmake -DKORVANE_WINDOW=OFF -DKORVANE_BENCH=OFF
	cmake --build $(CROSS_BUILD) -j $(JOBS)

# The cross build's tests under qemu-user: make test-cross ARCH=arm64. The programs the tests
# start (korvane, korvane-sim) run under qemu too, through binfmt_misc; so do the pty tests,
# the dialog in tmux and the package's headless flash (Package.Deb). Left out, for what qemu-user
# (7.2) does not emulate, and run by the native build: the port's exclusive flag is read with
# TIOCGEXCL, which qemu does not know (ENOSYS); and qemu runs vfork as fork, so a child's failed
# exec is not seen by the parent and the child may not have its own group yet when Start returns.
# qemu also answers a process's own /proc/PID/stat with a start time of its making, so a gang's
# run takes its parent's serial reservation for a dead process's (the station's serial test).
# The window's tests skip themselves, as no window back end is built.
CROSS_EXCLUDE ?= ^(ComportOpen\.SecondOpenFailsWhileTheFirstHoldsThePort|Station\.EveryWayOutGivesTheTerminalBack|TerminalScreen\.CtrlCWhileFlashingGivesTheTerminalAndThePortBack|ChildProcess\.OwnGroupPipesEnvironmentAndStatus|Station\.SerialNumberShownBesidePass)$$
test-cross: cross-build
	ctest --test-dir $(CROSS_BUILD) --output-on-failure -j $(JOBS) -E '$(CROSS_EXCLUDE)'

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) build-arm64 build-armhf build-arm64-sysroot build-armhf-sysroot

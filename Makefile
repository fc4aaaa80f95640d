# Two entry points: `make demo` and `make check`. Both install missing Debian packages first.
JOBS ?= $(shell nproc)
BUILD := build
ASAN_BUILD := build-sanitize
DEMO_DB := $(BUILD)/demo.db

.PHONY: all deps build build-sanitize demo check test test-sanitize clean configure tool install bench \
  deps-windows windows windows64 check-windows

all: build

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The library and the tool only: what `demo` and `install` need, without the test suite.
tool: configure
	cmake --build $(BUILD) -j $(JOBS) --target wardlink wardlink_host wardlink_man

build-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DWARDLINK_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

demo: tool
	rm -f $(DEMO_DB) $(DEMO_DB)-wal $(DEMO_DB)-shm
	$(BUILD)/tools/wardlink create-trial sqlite:$(DEMO_DB)
	$(BUILD)/tools/wardlink demo sqlite:$(DEMO_DB)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: build-sanitize
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# Fuzzing: the core library and the libFuzzer targets built with clang (ASan+UBSan); a short run
# of each target in `make check`, a longer one in `make fuzz`.
FUZZ_BUILD := build-fuzz
CHECK_FUZZ_SECONDS ?= 10
FUZZ_SECONDS ?= 300

.PHONY: build-fuzz check-fuzz fuzz

build-fuzz:
	./scripts/install-deps.sh build fuzz
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DWARDLINK_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

check-fuzz: build-fuzz
	tests/fuzz/run.sh $(FUZZ_BUILD) $(CHECK_FUZZ_SECONDS) $(JOBS)

fuzz: build-fuzz
	tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(JOBS)

check: test test-sanitize check-fuzz check-windows check-deb

# The leak run at full length: 10^5 calls in one process (make check makes 10^4).
.PHONY: check-long
check-long: build
	WARDLINK_LEAK_CALLS=100000 TMPDIR=$${TMPDIR:-/dev/shm} \
	  $(BUILD)/tests/reliability/wardlink_reliability_tests --gtest_filter='Leaks.*'

# make install PREFIX=/opt/wardlink (default /usr/local; DESTDIR is honoured)
PREFIX ?= /usr/local
install: tool
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Windows DLLs, cross-built: 32-bit (the drop-in) and x64 (for 64-bit hosts). check-windows
# reads both export directories, then runs each width's host under Wine: the 32-bit one natively
# where the machine runs 32-bit programs and under qemu-i386 in a jail that kills i386 system calls
# everywhere, the x64 one under wine64.
WINDOWS_BUILD := build-windows
WINDOWS64_BUILD := build-windows64

deps-windows:
	./scripts/install-deps.sh windows

windows: deps-windows
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

windows64: deps-windows
	cmake -S . -B $(WINDOWS64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WINDOWS64_BUILD) -j $(JOBS)

check-windows: windows windows64 build
	WARDLINK_WINDOWS_DLL=$(WINDOWS_BUILD)/WardLink.dll \
	  WARDLINK_WINDOWS64_DLL=$(WINDOWS64_BUILD)/WardLink.dll \
	  $(BUILD)/tests/windows/windows_dll_test --gtest_brief=1
	./scripts/check-windows.sh $(WINDOWS_BUILD) $(BUILD)
	./scripts/check-windows.sh $(WINDOWS64_BUILD) $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD) $(WINDOWS64_BUILD) $(DEB_BUILD)

# The benchmark: the library against a floor program on SQLite alone. BENCH_MILLION=1 adds the
# run at a million stays (several minutes more and about a gigabyte of disk).
BENCH_DIR := $(BUILD)/bench-data
bench: configure
	./scripts/install-deps.sh bench
	cmake --build $(BUILD) -j $(JOBS) --target wardlink_bench wardlink_hl7_bench
	$(BUILD)/bench/wardlink_bench run $(BENCH_DIR) $(if $(BENCH_MILLION),--million)
	$(BUILD)/bench/wardlink_hl7_bench $(BENCH_DIR)/hl7

# Debian packages (cmake/WardLinkPackage.cmake): libwardlink0, libwardlink-dev and wardlink, in
# build-deb/packages, from a build of their own for /usr; check-deb installs, uses, removes and
# purges them on this machine (tests/deb_test.sh).
DEB_BUILD := build-deb
.PHONY: deb check-deb
deb:
	./scripts/install-deps.sh build deb
	cmake -S . -B $(DEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF
	cmake --build $(DEB_BUILD) -j $(JOBS) --target wardlink wardlink_host wardlink_man
	rm -rf $(DEB_BUILD)/packages
	cd $(DEB_BUILD) && cpack -B packages
	rm -rf $(DEB_BUILD)/packages/_CPack_Packages

check-deb:
	@if [ -f /var/lib/dpkg/status ] && command -v dpkg >/dev/null; then \
	  $(MAKE) deb && tests/deb_test.sh $(DEB_BUILD)/packages; \
	else echo "check-deb: SKIPPED: dpkg is not this machine's package manager"; fi

# Two entry points: `make demo` and `make check`. Both install missing Debian packages first.
JOBS ?= $(shell nproc)
BUILD := build
ASAN_BUILD := build-sanitize
DEMO_DB := $(BUILD)/demo.db

.PHONY: all deps build build-sanitize demo check test test-sanitize clean bench deps-windows \
  windows check-windows

all: build

deps:
	./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

build-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DWARDLINK_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

demo: build
	rm -f $(DEMO_DB) $(DEMO_DB)-wal $(DEMO_DB)-shm
	$(BUILD)/tools/wardlink create-trial sqlite:$(DEMO_DB)
	$(BUILD)/tools/wardlink demo sqlite:$(DEMO_DB)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

test-sanitize: build-sanitize
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

check: test test-sanitize check-windows

# The 32-bit Windows DLL, cross-built; the host runs it under Wine (check-windows).
WINDOWS_BUILD := build-windows

deps-windows:
	./scripts/install-deps.sh windows

windows: deps-windows
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
	  -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

check-windows: windows build
	./scripts/check-windows.sh $(WINDOWS_BUILD) $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WINDOWS_BUILD)

# The benchmark: the library against a floor program on SQLite alone. BENCH_MILLION=1 adds the
# run at a million stays (several minutes more and about a gigabyte of disk).
BENCH_DIR := $(BUILD)/bench-data
bench: deps
	./scripts/install-deps.sh bench
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS) --target wardlink_bench
	$(BUILD)/bench/wardlink_bench run $(BENCH_DIR) $(if $(BENCH_MILLION),--million)

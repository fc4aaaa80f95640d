# Two entry points: `make demo` and `make check`. Both install missing Debian packages first.
JOBS ?= $(shell nproc)
BUILD := build
ASAN_BUILD := build-sanitize
DEMO_DB := $(BUILD)/demo.db

.PHONY: all deps build build-sanitize demo check test test-sanitize clean

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

check: test test-sanitize

# The leak run at full length: 10^5 calls in one process (make check makes 10^4).
.PHONY: check-long
check-long: build
	WARDLINK_LEAK_CALLS=100000 TMPDIR=$${TMPDIR:-/dev/shm} \
	  $(BUILD)/tests/reliability/wardlink_reliability_tests --gtest_filter='Leaks.*'

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

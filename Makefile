# Two entry points: `make demo` and `make check`. Both install missing Debian packages first.
JOBS ?= $(shell nproc)
BUILD := build
ASAN_BUILD := build-sanitize
DEMO_DB := $(BUILD)/demo.db

.PHONY: all deps build build-sanitize demo check test test-sanitize clean configure tool install

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

check: test test-sanitize

# make install PREFIX=/opt/wardlink (default /usr/local; DESTDIR is honoured)
PREFIX ?= /usr/local
install: tool
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

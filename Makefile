# Two commands do all the set-up: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
CMAKE_FLAGS ?=

.PHONY: all setup configure build install run test bench screenshot check-tsan check-asan fuzz clean

all: build

setup:
	@./scripts/setup

$(BUILD)/CMakeCache.txt:
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

configure: setup $(BUILD)/CMakeCache.txt

build: configure
	@cmake --build $(BUILD) -j$(JOBS)

# DESTDIR=<folder> stages the install for a package.
install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

run: build
	cd $(BUILD) && ./sonoleaf

test: build
	@./scripts/with-test-audio ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

bench: build
	@./scripts/with-test-audio ./scripts/run-benchmarks $(BUILD)

screenshot: build
	@mkdir -p $(BUILD)/screenshots
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ./sonoleaf --screenshots screenshots

# Sanitizer runs: any report fails its test. The suppression files name third-party
# libraries only, each entry with its reason.
# die_after_fork=0: QProcess (used by tests that need a fresh process) starts its child
# through clone() sharing the parent's memory until exec; ThreadSanitizer takes that for
# a fork and then marks the parent itself as a forked child, which may start no thread.
SANITIZERS := $(CURDIR)/sanitizers
check-tsan: setup
	@TSAN_OPTIONS="suppressions=$(SANITIZERS)/tsan.supp die_after_fork=0 second_deadlock_stack=1 history_size=4" \
	  $(MAKE) --no-print-directory test BUILD=build-tsan CMAKE_FLAGS="-DSONOLEAF_SANITIZE=thread"

check-asan: setup
	@ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1" \
	  LSAN_OPTIONS="suppressions=$(SANITIZERS)/lsan.supp:print_suppressions=0" \
	  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
	  $(MAKE) --no-print-directory test BUILD=build-asan CMAKE_FLAGS="-DSONOLEAF_SANITIZE=address"

FUZZ_SECONDS ?= 60
fuzz: setup
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONOLEAF_FUZZ=ON >/dev/null
	@JOBS=$(JOBS) ./scripts/run-fuzzers build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf build build-tsan build-asan build-fuzz

# Thornfall: `make run` builds and starts the game, `make test` builds and runs every test.
# `make test-asan` runs every test built with AddressSanitizer and UndefinedBehaviorSanitizer,
# `make fuzz-run` each fuzz harness briefly, `make package` builds the Debian package.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test test-asan bench fuzz fuzz-run package clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/game/thornfall

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite under the sanitizers, leaks included, in a build folder of its own. The play
# tests and the soak are left out: their timing (real levels on the clock under Xvfb) does not
# hold at the sanitizers' speed.
test-asan: deps
	@cmake -S . -B $(BUILD)-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTHORNFALL_SANITIZE=ON \
	  -DTHORNFALL_BENCH=OFF >/dev/null
	@cmake --build $(BUILD)-asan -j $(JOBS)
	cd $(BUILD)-asan && ASAN_OPTIONS=detect_leaks=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	  ctest --output-on-failure -j $(JOBS) -LE 'no-asan|soak'

package: build
	cd $(BUILD) && cpack -G DEB

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

# libFuzzer harnesses, instrumented with clang (see tests/fuzz).
fuzz:
	@scripts/install-deps --fuzz
	@cmake -S . -B $(BUILD)-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTHORNFALL_FUZZ=ON >/dev/null
	@cmake --build $(BUILD)-fuzz -j $(JOBS)

# Every harness for a short while (FUZZ_SECONDS each), from the shared sample files.
FUZZ_SECONDS ?= 30
fuzz-run: fuzz
	@scripts/run-fuzzers $(BUILD)-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(BUILD)-fuzz $(BUILD)-asan

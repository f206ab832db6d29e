# Thin wrappers over CMake. Every target that builds installs missing
# dependencies first, so a fresh Debian machine needs nothing else.

JOBS        ?= $(shell nproc)
BUILD       ?= build
BUILD_ASAN  ?= build-asan
BUILD_BENCH ?= build-bench
BUILD_FUZZ  ?= build-fuzz
FUZZ_SECONDS ?= 60
PREFIX      ?= /usr/local
CTEST_FLAGS ?= --output-on-failure -j $(JOBS)

.PHONY: all deps build run test test-normal test-asan bench fuzz fuzz-run clean install

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The main job: import the bundled sample catalog and show the result.
run: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target mostfcat_cli
	./$(BUILD)/mostfcat

test: test-normal test-asan

test-normal: build
	cd $(BUILD) && ctest $(CTEST_FLAGS)

$(BUILD_ASAN)/build.ninja: | deps
	cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMOSTFCAT_SANITIZE=ON \
	      -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"

test-asan: deps $(BUILD_ASAN)/build.ninja
	cmake --build $(BUILD_ASAN) -j $(JOBS)
	cd $(BUILD_ASAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest $(CTEST_FLAGS)

$(BUILD_BENCH)/build.ninja: | deps
	cmake -S . -B $(BUILD_BENCH) -G Ninja -DCMAKE_BUILD_TYPE=Release -DMOSTFCAT_BENCH=ON -DMOSTFCAT_TESTS=OFF

bench: deps $(BUILD_BENCH)/build.ninja
	cmake --build $(BUILD_BENCH) -j $(JOBS)
	./$(BUILD_BENCH)/bench/mostfcat_bench --benchmark_counters_tabular=true
	./$(BUILD_BENCH)/bench/mostfcat_message_bench --benchmark_repetitions=3
	python3 bench/process_bench.py --cli $(BUILD_BENCH)/mostfcat
	PYTHONPATH=$(BUILD_BENCH)/python python3 python/bench_decode.py --cli $(BUILD_BENCH)/mostfcat \
	  --cpp-bench $(BUILD_BENCH)/bench/mostfcat_message_bench --repetitions 3

$(BUILD_FUZZ)/build.ninja: | deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	      -DMOSTFCAT_FUZZ=ON -DMOSTFCAT_WERROR=OFF

# Builds the libFuzzer targets; `make fuzz-run` runs each for FUZZ_SECONDS.
fuzz: deps $(BUILD_FUZZ)/build.ninja
	cmake --build $(BUILD_FUZZ) -j $(JOBS)

# Every target runs even after another one failed; each finding (crash,
# leak or undefined behaviour) is kept in fuzz-out/<target>/.
fuzz-run: fuzz
	@failed=""; for t in $(BUILD_FUZZ)/fuzz/fuzz_*; do \
	  name=$$(basename $$t); mkdir -p fuzz-out/$$name/corpus; \
	  echo "== $$name ($(FUZZ_SECONDS)s)"; \
	  $$t -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=fuzz-out/$$name/ \
	      fuzz-out/$$name/corpus fuzz/corpus/$$name || failed="$$failed $$name"; \
	done; \
	if [ -n "$$failed" ]; then echo "findings in:$$failed (see fuzz-out/)"; exit 1; fi

# Installs the library, headers, tool, sample catalog, CMake package and
# mostfcat.pc into PREFIX (a relative PREFIX is taken from this folder).
install: build
	cmake --install $(BUILD) --prefix $(abspath $(PREFIX))

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_BENCH) $(BUILD_FUZZ)

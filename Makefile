# Fernweave's two everyday commands:
#   make run   installs what is missing, builds optimised, runs the main job on the example
#   make test  installs what is missing, builds with ASan+UBSan and -Werror, runs every test
# and two more: make bench (Google Benchmark programs), make fuzz (short run of each target).

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
FUZZ_SECONDS ?= 30
CMAKE_COMMON = -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

.PHONY: deps run build test bench fuzz clean

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DFW_BUILD_TESTS=OFF $(CMAKE_COMMON)
	cmake --build build/release -j $(JOBS) --target fernweave

run: build
	scripts/run-example build/release/app/fernweave

test: deps
	cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DFW_SANITIZE=ON -DFW_WERROR=ON \
	  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" $(CMAKE_COMMON)
	cmake --build build/test -j $(JOBS)
	cd build/test && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DFW_BUILD_TESTS=OFF \
	  -DFW_BUILD_BENCHMARKS=ON $(CMAKE_COMMON)
	cmake --build build/bench -j $(JOBS)
	@for b in build/bench/bench/*_bench; do echo "== $$b"; $$b || exit 1; done

fuzz: deps
	CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFW_BUILD_TESTS=OFF \
	  -DFW_BUILD_FUZZERS=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" $(CMAKE_COMMON)
	cmake --build build/fuzz -j $(JOBS)
	@for f in build/fuzz/fuzz/*_fuzzer; do \
	  name=$$(basename $$f); mkdir -p build/fuzz/corpus/$$name; \
	  seeds=""; [ -d fuzz/corpus/$$name ] && seeds=fuzz/corpus/$$name; \
	  echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -max_len=4096 build/fuzz/corpus/$$name $$seeds \
	    > build/fuzz/$$name.log 2>&1 || { tail -30 build/fuzz/$$name.log; exit 1; }; \
	  tail -1 build/fuzz/$$name.log; \
	done

clean:
	rm -rf build

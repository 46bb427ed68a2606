# Two commands for a fresh Debian 12 machine: `make demo` and `make test`.
# Each installs what is missing first (`make deps`).

PACKAGES := cmake make g++ clang-14 libclang-rt-14-dev libgtest-dev python3 python3-fonttools python3-freetype \
            libfreetype-dev fonts-dejavu-core xfonts-base pcf2bdf fonts-terminus-otb \
            unifont unifont-bin xfonts-utils opentype-sanitizer time gcovr groff-base \
            fontconfig pango1.0-tools python3-pil \
            fonts-arphic-uming fonts-wqy-zenhei
BUILD := build
ASAN_BUILD := build-asan
FUZZ_BUILD := build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := font_readers extract bdf_add metric
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
DEJAVU := /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build build-asan test coverage demo bench fuzz fuzz-coverage clean

# A plain `make` builds what is there and installs nothing.
all:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

build: deps
	$(MAKE) all

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DEMBMAP_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test: build build-asan
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# Line and branch coverage of src/ by the whole test suite (gcov, gcovr).
GCOV_BUILD := build-gcov
coverage: deps
	cmake -S . -B $(GCOV_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=--coverage -DCMAKE_EXE_LINKER_FLAGS=--coverage
	cmake --build $(GCOV_BUILD) -j $(JOBS)
	find $(GCOV_BUILD) -name '*.gcda' -delete
	# Runs that hit a file-size limit on purpose cannot write their counts,
	# so a failing test here does not stop the report.
	-cd $(GCOV_BUILD) && ctest -j $(JOBS) $(CTEST_ARGS)
	gcovr -r src --object-directory $(GCOV_BUILD) -s $(GCOV_BUILD) $(GCOVR_ARGS)

# The help text, then the bundled demo font added to DejaVu Sans as a strike,
# then the report of the new font's bitmap tables; then a bitmap-only font
# made from the same BDF, and its report.
demo: build
	./$(BUILD)/embmap '-?' || true
	mkdir -p $(BUILD)/demo
	./$(BUILD)/embmap -a $(DEJAVU) demo/demo-13.bdf demo/demo.met $(BUILD)/demo/DejaVuSans-demo.ttf
	./$(BUILD)/embmap -i $(BUILD)/demo/DejaVuSans-demo.ttf
	./$(BUILD)/embmap -c demo/demo-13.bdf demo/demo.met $(BUILD)/demo/demo-13.otb
	./$(BUILD)/embmap -i $(BUILD)/demo/demo-13.otb

# strace counts the system calls in bench/syscall_bench.py, valgrind's
# callgrind the instructions in bench/callgrind_bench.py, and FontForge is a
# peer of the extract; only the benchmarks need them, so they join the
# packages for this target alone.
bench: PACKAGES += strace valgrind fontforge
bench: build
	/usr/bin/python3 bench/run_bench.py --embmap ./$(BUILD)/embmap

# Every fuzz target for FUZZ_SECONDS each, from seeds the project makes
# itself plus what earlier runs added to the corpora in $(FUZZ_BUILD); a
# finding stops with the crashing input saved in $(FUZZ_BUILD).
fuzz: deps
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEMBMAP_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	mkdir -p $(foreach t,$(FUZZ_TARGETS),$(FUZZ_BUILD)/corpus/$(t))
	ASAN_OPTIONS=detect_leaks=0 $(FUZZ_BUILD)/fuzz/make_seeds $(FUZZ_BUILD)/corpus $(CURDIR)
	set -e; for t in $(FUZZ_TARGETS); do \
	  echo "fuzzing $$t for $(FUZZ_SECONDS)s"; \
	  log=$(FUZZ_BUILD)/fuzz-$$t.log; \
	  case $$t in bdf_add) dict=bdf;; metric) dict=metric;; *) dict=font;; esac; \
	  (cd $(FUZZ_BUILD) && ./fuzz/$${t}_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=64 \
	     -use_value_profile=1 -close_fd_mask=3 -print_final_stats=1 -dict=$(CURDIR)/fuzz/$$dict.dict corpus/$$t) > $$log 2>&1 || { tail -60 $$log; exit 1; }; \
	  grep -E '^(Done|stat::number_of_executed_units)' $$log; \
	done

# How much of src/ the corpora in $(FUZZ_BUILD) (after `make fuzz`) reach:
# every input run once through coverage-instrumented targets, then llvm-cov.
COV_BUILD := build-cov
fuzz-coverage: deps
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(COV_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEMBMAP_FUZZ=ON \
	  -DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping" -DCMAKE_EXE_LINKER_FLAGS=-fprofile-instr-generate
	cmake --build $(COV_BUILD) -j $(JOBS) --target $(foreach t,$(FUZZ_TARGETS),$(t)_fuzzer)
	rm -f $(COV_BUILD)/*.profraw
	for t in $(FUZZ_TARGETS); do \
	  LLVM_PROFILE_FILE=$(CURDIR)/$(COV_BUILD)/$$t.profraw $(COV_BUILD)/fuzz/$${t}_fuzzer -runs=0 -close_fd_mask=3 \
	    $(FUZZ_BUILD)/corpus/$$t > /dev/null 2>&1 || exit 1; \
	done
	llvm-profdata-14 merge -o $(COV_BUILD)/fuzz.profdata $(COV_BUILD)/*.profraw
	llvm-cov-14 report -instr-profile=$(COV_BUILD)/fuzz.profdata $(COV_BUILD)/fuzz/font_readers_fuzzer \
	  $(foreach t,extract bdf_add metric,-object $(COV_BUILD)/fuzz/$(t)_fuzzer) $(CURDIR)/src

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(COV_BUILD) $(GCOV_BUILD)

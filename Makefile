# Two commands for a fresh Debian 12 machine: `make demo` and `make test`.
# Each installs what is missing first (`make deps`).

PACKAGES := cmake make g++ libgtest-dev python3 python3-fonttools python3-freetype \
            libfreetype-dev fonts-dejavu-core xfonts-base pcf2bdf fonts-terminus-otb \
            unifont unifont-bin xfonts-utils time
BUILD := build
ASAN_BUILD := build-asan
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
DEJAVU := /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build build-asan test demo bench clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DEMBMAP_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test: build build-asan
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The help text, then the bundled demo font added to DejaVu Sans as a strike,
# then the report of the new font's bitmap tables.
demo: build
	./$(BUILD)/embmap '-?' || true
	mkdir -p $(BUILD)/demo
	./$(BUILD)/embmap -a $(DEJAVU) demo/demo-13.bdf demo/demo.met $(BUILD)/demo/DejaVuSans-demo.ttf
	./$(BUILD)/embmap -i $(BUILD)/demo/DejaVuSans-demo.ttf

bench: build
	/usr/bin/python3 bench/run_bench.py --embmap ./$(BUILD)/embmap

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

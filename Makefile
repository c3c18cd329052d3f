# Zumbrix: top-level commands.
#   make run   installs what is missing, builds and plays the demo
#   make test  installs what is missing, builds, and runs the whole suite
#              (normal build, AddressSanitizer+UBSan build, short fuzz runs)
#              under one Xvfb
#   make install  builds and installs into PREFIX (default /usr/local), under
#              DESTDIR when given (cmake --install does the same)
#   make deb   builds and packs a Debian package into build/ (CPack)
#   make fuzz  long fuzz runs: every libFuzzer target of the sanitizer build for
#              FUZZ_SECONDS each (default 600), the corpus merged and minimised
#              into fuzz/corpus/, a summary table in build-asan/fuzz/summary.md

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
ARGS       ?=
FUZZ_SECONDS ?= 600
PREFIX     ?= /usr/local
DESTDIR    ?=

.PHONY: all deps build build-asan run test bench fuzz install deb clean

all: build

deps:
	@bash scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_COMPILER=clang \
	      -DCMAKE_CXX_COMPILER=clang++ -DZUMBRIX_SANITIZE=ON -DZUMBRIX_FUZZ=ON
	cmake --build $(ASAN_BUILD) -j$(JOBS)

run: build
	./$(BUILD)/zumbrix $(ARGS)

test: build build-asan
	xvfb-run -a -s "-screen 0 1280x1024x24" bash scripts/run-tests $(BUILD) $(ASAN_BUILD)

bench: build
	bash scripts/run-benchmarks $(BUILD)

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

deb: build
	cd $(BUILD) && cpack -G DEB

fuzz: build-asan
	xvfb-run -a -s "-screen 0 1280x1024x24" env FUZZ_TARGETS="$(FUZZ_TARGETS)" nice -n 19 bash scripts/run-fuzzers --campaign $(ASAN_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

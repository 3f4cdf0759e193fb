# Vidlark Web Video Encoder: set-up, build, run and test.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps deps-test configure build program run test bench coverage install uninstall clean

PREFIX ?= $(HOME)/.local

all: build

deps:
	@./scripts/install-deps.sh

deps-test:
	@./scripts/install-deps.sh test

configure:
	@cmake -S . -B "$(BUILD)" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

# Everything: the programs, the tests and the benchmarks.
build: deps configure
	@cmake --build "$(BUILD)" -j $(JOBS)

# Only what the program needs: its two binaries and the application folder.
program: deps configure
	@cmake --build "$(BUILD)" -j $(JOBS) --target vidlark-encoder vidlark-encode appdir

run: program
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "No display is available: start 'make run' from a desktop session (or under xvfb-run)."; \
	  exit 1; \
	fi
	@"$(BUILD)/appdir/vidlark-encoder"

test: deps-test build
	@./scripts/fetch-hlsjs.sh "$(BUILD)"
	@cd "$(BUILD)" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Line coverage of src/ by the whole suite, from a build of its own.
coverage:
	@./scripts/install-deps.sh coverage
	@cmake -S . -B $(BUILD)-coverage -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=--coverage >/dev/null
	@cmake --build $(BUILD)-coverage -j $(JOBS)
	@find $(BUILD)-coverage -name '*.gcda' -delete
	@./scripts/fetch-hlsjs.sh "$(BUILD)-coverage"
	@cd $(BUILD)-coverage && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)
	@gcovr --root . --filter 'src/' --exclude '.*_autogen.*' $(BUILD)-coverage

bench: build
	@for b in $(BUILD)/bench/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] || continue; echo "== $$b"; "$$b" || exit 1; done

install: program
	@./scripts/install.sh "$(BUILD)/appdir" "$(PREFIX)"

uninstall:
	@./scripts/uninstall.sh "$(PREFIX)"

clean:
	rm -rf "$(BUILD)" "$(BUILD)-coverage"

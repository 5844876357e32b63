# SPDX-License-Identifier: AGPL-3.0-or-later
# The two commands of the project: `make demo` and `make test`.
# Both install what is missing, configure with CMake and Ninja, and build.

PRESETS := default asan m32
# The Windows builds (MinGW-w64), their suites run under Wine.
WINDOWS_PRESETS := mingw64 mingw32
ALL_PRESETS := $(PRESETS) $(WINDOWS_PRESETS)

.PHONY: deb demo test deps build $(addprefix build-,$(ALL_PRESETS)) $(addprefix test-,$(ALL_PRESETS)) clean bench \
	format format-check coverage fuzz build-fuzz

# Seconds each fuzz target runs for under `make fuzz`, and under `make test`.
FUZZ_SECONDS ?= 60
TEST_FUZZ_SECONDS ?= 15
FUZZ_TARGETS := script win32 pdf

demo: deps build-default
	./examples/demo.sh build/default

# What a full run leaves under build/, in MB (measured; README).
TEST_DISK_MB := 3600

test: deps format-check
	@./scripts/check-disk.sh $(TEST_DISK_MB)
	@set -e; for p in $(ALL_PRESETS); do $(MAKE) --no-print-directory test-$$p; done
	@$(MAKE) --no-print-directory fuzz FUZZ_SECONDS=$(TEST_FUZZ_SECONDS)
	@echo "All presets passed: $(ALL_PRESETS), formatting, and fuzzing: $(FUZZ_TARGETS)"

deps:
	@./scripts/install-deps.sh

# The Debian package vellora_VERSION_ARCH.deb, from the default build.
deb: deps build-default
	./scripts/make-deb.sh build/default .

build: build-default

$(addprefix build-,$(ALL_PRESETS)): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $*

# A test that fails is run once more before the suite fails: the browser tests
# can outwait their limits on a loaded shared machine. The failed attempt
# stays in the log, and a fault that fails every time still fails the suite.
$(addprefix test-,$(PRESETS)): test-%: build-%
	ctest --preset $* --repeat until-pass:2

# Wine's server and the display live for the suite, not after it. Both
# Windows builds run in one Wine prefix, made by the first.
WINE_PREFIX := $(CURDIR)/build/wine-prefix
$(addprefix test-,$(WINDOWS_PRESETS)): export VX_WINE_PREFIX = $(WINE_PREFIX)
$(addprefix test-,$(WINDOWS_PRESETS)): test-%: build-%
	@if [ $* = mingw32 ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then \
	  echo "test-mingw32: skipped: this kernel cannot execute 32-bit programs, so Wine cannot run the 32-bit build (built, not run)"; \
	  exit 0; fi; \
	status=0; ctest --preset $* || status=$$?; ./scripts/run-wine.sh --stop build/$*; exit $$status

build-fuzz:
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz

fuzz: deps build-fuzz
	./tests/fuzz/run_fuzz.sh build/fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

bench: deps build-default
	./bench/run.sh build/default
	./bench/scans.sh build/default
	/usr/bin/python3 bench/viewer_bench.py build/default

# Formatting by the .clang-format files of the tree; `make test` checks it first.
FORMAT_FILES = $(shell git ls-files '*.c' '*.cpp' '*.h')

format:
	clang-format -i $(FORMAT_FILES)

# Every file is checked, so that one run names all that would change.
format-check:
	@status=0; for f in $(FORMAT_FILES); do clang-format --dry-run -Werror "$$f" || status=1; done; \
	exit $$status

# Line and branch coverage of the module and the host (not part of `make test`).
coverage:
	@./scripts/install-deps.sh lcov
	cmake --preset coverage >/dev/null
	cmake --build --preset coverage
	./scripts/coverage.sh build/coverage

clean:
	rm -rf build

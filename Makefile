# The two commands of the project: `make demo` and `make test`.
# Both install what is missing, configure with CMake and Ninja, and build.

PRESETS := default asan m32

.PHONY: demo test deps build $(addprefix build-,$(PRESETS)) $(addprefix test-,$(PRESETS)) clean bench

demo: deps build-default
	./examples/demo.sh build/default

test: deps
	@set -e; for p in $(PRESETS); do $(MAKE) --no-print-directory test-$$p; done
	@echo "All presets passed: $(PRESETS)"

deps:
	@./scripts/install-deps.sh

build: build-default

$(addprefix build-,$(PRESETS)): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $*

$(addprefix test-,$(PRESETS)): test-%: build-%
	ctest --preset $*

bench: deps build-default
	./bench/run.sh build/default
	/usr/bin/python3 bench/viewer_bench.py build/default

clean:
	rm -rf build

# The two everyday commands: `make test` and `make demo`.
# Both install whatever Debian packages are missing first.
BUILD    ?= build
TYPE     ?= RelWithDebInfo
WERROR   ?= $(if $(CI),ON,OFF)
SANITIZE ?= OFF
CMAKE_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=$(TYPE) -DVQ4_WERROR=$(WERROR) -DVQ4_SANITIZE=$(SANITIZE)

.PHONY: deps configure build test bench clean

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j2

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build-bench
	@for b in build-bench/bench/*_bench; do echo "== $$b"; $$b; done

clean:
	rm -rf build build-san build-bench

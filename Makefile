# The two everyday commands: `make test` and `make demo`.
# Both install whatever Debian packages are missing first.
BUILD    ?= build
TYPE     ?= RelWithDebInfo
WERROR   ?= $(if $(CI),ON,OFF)
SANITIZE ?= OFF
CMAKE_FLAGS = -G Ninja -DCMAKE_BUILD_TYPE=$(TYPE) -DVQ4_WERROR=$(WERROR) -DVQ4_SANITIZE=$(SANITIZE)

.PHONY: deps configure build test demo bench clean fuzz stress memcheck windows test-windows package check-package

deps:
	@scripts/install-deps

# CMake's progress lines are left out; its warnings and errors are shown.
configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) --log-level=WARNING

build: configure
	@cmake --build $(BUILD)

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j2

# The demo installs into a version directory inside the build tree and runs
# the installed front end on demo/blink.c for an 18-series chip; the drivers
# it launches are the stand-ins from tools/.
# The version directory is named after the project's version, which the
# configured build tree records (project() in CMakeLists.txt).
VERSION     = $(shell cat $(BUILD)/version.txt)
DEMO_ROOT   = $(abspath $(BUILD))/demo
DEMO_PREFIX = $(DEMO_ROOT)/vq4/v$(VERSION)

demo: configure
	@cmake --build $(BUILD) --target vq4 lumc_standin
	@cmake --install $(BUILD) --prefix $(DEMO_PREFIX) >/dev/null
	@mkdir -p $(DEMO_ROOT)/tmp
	@echo "installed into $(DEMO_PREFIX)"
	@echo "running: vq4 --chip=18f452 -v blink.c   (in demo/)"
	@cd demo && TEMP=$(DEMO_ROOT)/tmp $(DEMO_PREFIX)/bin/vq4 --chip=18f452 -v blink.c

# The Debian package, $(BUILD)/package/vq4_<version>_<arch>.deb, and its
# checks: contents, lintian, a run of the unpacked front end and library,
# and dpkg in a scratch root (scripts/check-package).
package: configure
	@cmake --build $(BUILD) --target package

check-package: package
	@scripts/check-package $(BUILD)

bench: deps
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVQ4_BENCHMARKS=ON --log-level=WARNING
	@cmake --build build-bench
	@bench/table.sh build-bench

# Hardening, none of it part of `make test`: the fuzz targets for
# FUZZ_SECONDS each (clang; build-fuzz), the front end under load and in a
# full file system, and the programs under valgrind's memcheck.
FUZZ_SECONDS ?= 60

fuzz: deps
	@scripts/ci-fuzz $(FUZZ_SECONDS)

stress: configure
	@cmake --build $(BUILD) --target vq4 e2e_recording_driver
	@bench/stress.sh $(BUILD)

memcheck: configure
	@cmake --build $(BUILD) --target vq4 vq4each vq4kind vq4sum e2e_recording_driver
	@bench/memcheck.sh $(BUILD)

# The Windows build: cross-compiled with MinGW-w64 into $(WINDOWS_BUILD),
# its tests run under Wine in a Wine prefix inside that tree (see
# scripts/wine-run). The end-to-end tests are host programs driving the
# Windows programs through scripts/wine-run, so they come from $(BUILD).
WINDOWS_BUILD ?= build-windows
WINDOWS_FLAGS  = -G Ninja -DCMAKE_BUILD_TYPE=$(TYPE) -DVQ4_WERROR=$(WERROR) \
                 -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/mingw-w64-x86_64.cmake) \
                 -DVQ4_E2E_HOST_BUILD=$(abspath $(BUILD))

windows: deps
	@cmake -S . -B $(WINDOWS_BUILD) $(WINDOWS_FLAGS) >/dev/null
	@cmake --build $(WINDOWS_BUILD)

test-windows: windows configure
	@cmake --build $(BUILD) --target vq4_e2e_tests vq4kind_e2e_tests vq4sum_e2e_tests
	@ctest --test-dir $(WINDOWS_BUILD) --output-on-failure -j2; \
	    status=$$?; WINEPREFIX=$(abspath $(WINDOWS_BUILD))/wine wineserver --kill 2>/dev/null; exit $$status

clean:
	rm -rf build build-san build-bench build-fuzz build-windows

# Setvik: `make` builds everything into build/bin; `make test` runs the whole
# suite; `make demo` builds the example setup; `make package` makes the
# Debian package of the tool, build/setvik_<version>_<arch>.deb. Each first
# installs the Debian packages it needs (tools/install-deps.sh does nothing
# when they are there).

HOST_DIR  := build/host
WIN32_DIR := build/win32
JOBS      ?= $(shell nproc)
FUZZ_SECONDS ?= 30

.PHONY: all deps host win32 test unit-test fuzz-test demo bench package clean

all: deps host win32

deps:
	@tools/install-deps.sh

$(HOST_DIR)/build.ninja $(HOST_DIR)/Makefile:
	cmake -S . -B $(HOST_DIR) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DFUZZ_SECONDS=$(FUZZ_SECONDS)

$(WIN32_DIR)/Makefile:
	cmake -S . -B $(WIN32_DIR) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel

host: deps $(HOST_DIR)/Makefile
	cmake --build $(HOST_DIR) -j $(JOBS)

win32: deps $(WIN32_DIR)/Makefile
	cmake --build $(WIN32_DIR) -j $(JOBS)

test: all
	cd $(HOST_DIR) && ctest --output-on-failure -j $(JOBS) -L 'unit|wine'
	cd $(HOST_DIR) && ctest --output-on-failure -j $(JOBS) -L fuzz

demo: all
	tools/demo.sh

bench: all
	tools/run-bench.sh

package: all
	cmake --build $(HOST_DIR) --target package

clean:
	rm -rf build

# The two entry points: `make demo` and `make test`. Both set up, build, then run.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all setup build test demo asan tsan fuzz install clean

all: build

setup:
	@sh scripts/setup.sh

build: setup
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	sh scripts/demo.sh $(BUILD)

asan:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DVEXA_SANITIZE=ON -DVEXA_BENCH=OFF"

# Qt's own threads are not instrumented; tools/tsan.supp keeps their traffic out of the reports.
tsan:
	TSAN_OPTIONS="suppressions=$(CURDIR)/tools/tsan.supp" \
	    $(MAKE) test BUILD=build-tsan CMAKE_FLAGS="-DVEXA_TSAN=ON -DVEXA_BENCH=OFF"

fuzz: setup
	sh scripts/fuzz.sh build-fuzz 20

install: build
	cmake --install $(BUILD) --prefix $(or $(PREFIX),$(CURDIR)/stage)

clean:
	rm -rf build build-asan build-tsan build-fuzz

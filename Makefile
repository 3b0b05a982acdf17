BUILD ?= build
JOBS ?= $(shell nproc)
# make run PORT=8791 when 8790 is taken.
PORT ?= $(or $(OSTREL_DEMO_PORT),8790)
PREFIX ?= /usr/local
# make run TLS=1: the demo over HTTPS, with a certificate authority made for it.
TLS ?=

SANITIZE_BUILD ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
# make fuzz SECONDS=N: each fuzz target runs N seconds.
SECONDS ?= 60

.PHONY: all deps configure build test test-sanitize fuzz run bench package install clean

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j 1

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, in its own folder.
# Left out there: tst_package builds the whole package again (its code is the suite's),
# tst_bigdocuments measures 100 MB documents, minutes under the sanitizers, and the runs under
# Xvfb repeat offscreen tests on an X server whose GL driver, loaded and unloaded, leaves
# allocations LeakSanitizer cannot name; all of them run in make test.
test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOWB_SANITIZE=ON -DOWB_WITH_BENCH=OFF
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS) -E '^(tst_package|tst_bigdocuments|.*_xvfb)$$'

# libFuzzer targets (clang, ASan+UBSan), each run for SECONDS seconds.
fuzz:
	bash scripts/install-deps.sh --fuzz
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOWB_FUZZ=ON \
	  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target owb_fuzz
	bash scripts/fuzz.sh $(FUZZ_BUILD) $(SECONDS)

run: build
	bash scripts/run-demo.sh --port $(PORT) $(if $(TLS),--tls) $(BUILD)

bench: build
	bash scripts/run-bench.sh $(BUILD)

# The Debian package, in the build folder.
package: build
	cmake --build $(BUILD) --target package

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD)

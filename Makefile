BUILD ?= build
JOBS ?= $(shell nproc)
# make run PORT=8791 when 8790 is taken.
PORT ?= $(or $(OSTREL_DEMO_PORT),8790)
PREFIX ?= /usr/local
# make run TLS=1: the demo over HTTPS, with a certificate authority made for it.
TLS ?=

.PHONY: all deps configure build test run bench package install clean

all: build

deps:
	bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j 1

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
	rm -rf $(BUILD)

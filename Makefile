# Zorv: `make run` builds and starts Zorv; `make test` builds and runs every test layer;
# `make deb` builds the Debian package.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
export CCACHE_BASEDIR := $(CURDIR)

.PHONY: run test deps configure build deb build-asan unit desktop-tests asan-tests bench format clean

run: build
	@if [ -n "$$WAYLAND_DISPLAY" ] || { [ -n "$$DISPLAY" ] && xdpyinfo >/dev/null 2>&1; }; then \
	  exec $(BUILD)/zorv; \
	else \
	  echo "No desktop: starting Zorv's own virtual desktop for a short demo."; \
	  exec scripts/demo.sh $(BUILD)/zorv; \
	fi

test: build build-asan
	ctest --test-dir $(BUILD) -L unit --output-on-failure -j $(JOBS)
	ctest --test-dir $(BUILD) -L package --output-on-failure
	scripts/desktop.sh run --monitors 1920x1080,1920x1080 -- \
	  ctest --test-dir $(CURDIR)/$(BUILD) -L desktop --output-on-failure
	ctest --test-dir $(BUILD) -L wayland --output-on-failure
	ctest --test-dir $(ASAN_BUILD) -L unit --output-on-failure -j $(JOBS)

deps:
	@scripts/install-deps.sh

configure: deps
	@[ -f $(BUILD)/build.ninja ] || cmake -S . -B $(BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: configure
	ninja -C $(BUILD) -j $(JOBS)

# The Debian package, $(BUILD)/zorv_VERSION_ARCH.deb; builds only what it installs.
deb: configure
	ninja -C $(BUILD) -j $(JOBS) zorv-installables
	cd $(BUILD) && cpack -G DEB

# Unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
build-asan: deps
	@[ -f $(ASAN_BUILD)/build.ninja ] || cmake -S . -B $(ASAN_BUILD) -G Ninja \
	  -DCMAKE_BUILD_TYPE=Debug -DZORV_SANITIZE=ON -DZORV_BUILD_BENCH=OFF $(CMAKE_ARGS)
	ninja -C $(ASAN_BUILD) -j $(JOBS) $$(ninja -C $(ASAN_BUILD) -t targets all | sed -n 's/^\(unit_[a-z0-9_]*\): .*/\1/p' | sort -u)

bench: build
	bench/run-all.sh $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

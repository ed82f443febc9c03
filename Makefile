# ClipGIF: top-level commands.
#   make deps   install the missing Debian packages (as root; does nothing when all are there)
#   make        configure and build into build/ (programs in build/bin/)
#   make test   deps + build + every test through CTest
#   make bench  build and run the benchmarks
#   make screenshots  pictures of the desktop program's windows (under Xvfb) in build/screenshots

BUILD ?= build
PACKAGES := g++ cmake ninja-build make pkg-config \
	libavcodec-dev libavformat-dev libavfilter-dev libavdevice-dev \
	libswscale-dev libswresample-dev libavutil-dev \
	qt6-base-dev libgtest-dev libbenchmark-dev ffmpeg xvfb xauth
JOBS ?= $(shell nproc)

.PHONY: all build deps test bench screenshots clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" != 0 ]; then echo "make deps: run as root to install:$$missing" >&2; exit 1; fi; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: deps
	$(MAKE) build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bin/bench_*; do echo "== $$b"; $$b; done

screenshots: build
	app/screenshots/take_screenshots.sh $(BUILD)

clean:
	rm -rf $(BUILD)

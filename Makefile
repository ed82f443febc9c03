# ClipGIF: top-level commands.
#   make deps   install the missing Debian packages (as root; does nothing when all are there)
#   make        configure and build into build/ (programs in build/bin/)
#   make test   deps + build + every test through CTest
#   make demo   deps + clipgif-cli alone built, then a few seconds of sample clip with sound made
#               under build/demo/ and converted into a GIF with it; prints the GIF's path
#   make install  the programs, the files beside them, manual pages, bash completion, desktop
#               entry and icons into DESTDIR/PREFIX (PREFIX default /usr/local): the programs in
#               PREFIX/lib/clipgif/, relative links to them in PREFIX/bin/
#   make package  the Debian package build/package/clipgif_VERSION_ARCH.deb (CPack), installed
#               under /usr
#   make bench  build, then the benchmarks, on clips made once under build/bench-media/: the
#               conversion (bench/convert_bench.sh: clipgif-cli against ffmpeg on a 60 s and a
#               300 s clip, wall time and peak memory, ratios against the targets), the quality
#               (bench/quality_bench.sh: against gifski and ffmpeg's palette GIF) and the size
#               limits (bench/size_bench.sh: --max-size on four clips at three limits)
#   make bench-programs  build and run the Google Benchmark programs (bench_*)
#   make asan   every test, built with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/)
#   make fuzz   the fuzz targets (clang, libFuzzer), FUZZ_SECONDS each (build-fuzz/)
#   make screenshots  pictures of the desktop program's windows (under Xvfb) in build/screenshots
#   make tsan   the threaded suites (encoder, task control, threads) built with the thread
#               sanitizer into build-tsan/ and run; any race reported fails them

BUILD ?= build
PACKAGES := g++ cmake ninja-build make pkg-config \
	libavcodec-dev libavformat-dev libavfilter-dev libavdevice-dev \
	libswscale-dev libswresample-dev libavutil-dev \
	qt6-base-dev libgtest-dev libbenchmark-dev ffmpeg xvfb xauth time
# What CPack needs to work out the package's dependencies (dpkg-shlibdeps, file).
PACKAGE_PACKAGES := dpkg-dev file
# Development tools of the fuzzing build only (clang with its sanitizer and libFuzzer runtimes).
FUZZ_PACKAGES := clang libclang-rt-14-dev
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
DESTDIR ?=
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

TSAN_BUILD ?= build-tsan
# Suites that exercise threads; their CTest names and program targets.
TSAN_SUITES := engine.encoder_tasks_test engine.encoder_run_test engine.encoder_deadlock_test \
	engine.thread_names_test \
	engine.control_test \
	app.frame_pipeline_test app.frame_sink_pipeline_test gif.fitted_frames_test \
	platform.thread_test
TSAN_TARGETS := $(foreach s,$(TSAN_SUITES),test_$(subst .,_,$(s)))
TSAN_PATTERN := ^($(subst $(eval) ,|,$(strip $(TSAN_SUITES))))$$
# The FFmpeg libraries are loaded at run time and not instrumented: the memory accesses their
# own code makes (through memcpy, malloc, free) are not checked, since they synchronise through
# atomics the sanitizer cannot see; their locks still count, and every access of the project's
# code, callbacks from the libraries included, is checked. No report is suppressed.
TSAN_OPTIONS := ignore_noninstrumented_modules=1 second_deadlock_stack=1 exitcode=66

.PHONY: all build deps fuzz-deps package-deps test demo install package bench bench-programs \
	asan fuzz tsan screenshots clean

all: build

# $(call install-missing,PACKAGES): apt-get install of the packages not installed yet.
define install-missing
	@missing=""; for p in $(1); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" != 0 ]; then echo "make: run as root to install:$$missing" >&2; exit 1; fi; \
	  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
	fi
endef

deps:
	$(call install-missing,$(PACKAGES))

fuzz-deps:
	$(call install-missing,$(FUZZ_PACKAGES))

package-deps:
	$(call install-missing,$(PACKAGE_PACKAGES))

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: deps
	$(MAKE) build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

DEMO := $(BUILD)/demo
# Four seconds of moving colour bars, gradients and a counter, with a beeping tone.
DEMO_SOURCES := -f lavfi -i testsrc2=size=320x240:rate=25 \
	-f lavfi -i sine=frequency=440:beep_factor=4:sample_rate=44100
# Only the command line and what it needs are built, not the tests: a fresh clone gets its GIF
# in a few minutes.
demo: deps
	$(MAKE) $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target clipgif-cli
	@mkdir -p $(DEMO)
	@rm -f $(DEMO)/sample.mp4 $(DEMO)/sample.gif
	ffmpeg -nostdin -v error -y $(DEMO_SOURCES) -t 4 -c:v libx264 -pix_fmt yuv420p \
	  -c:a aac -shortest $(DEMO)/sample.mp4
	$(BUILD)/bin/clipgif-cli -o $(DEMO)/sample.gif $(DEMO)/sample.mp4
	@echo "The GIF: $$(realpath $(DEMO)/sample.gif)"

# Only what is installed is built; nothing is written into the build folder by installing.
install: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target installed-files
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

package: deps package-deps
	$(MAKE) $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target installed-files
	cd $(BUILD) && cpack -G DEB
	@ls $(BUILD)/package/clipgif_*.deb

bench: deps
	$(MAKE) build
	bench/convert_bench.sh $(BUILD)
	bench/quality_bench.sh $(BUILD)
	bench/size_bench.sh $(BUILD)

bench-programs: build
	@for b in $(BUILD)/bin/bench_*; do echo "== $$b"; $$b; done

asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCLIPGIF_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

fuzz: deps fuzz-deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCLIPGIF_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_all
	bash fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

screenshots: build
	app/screenshots/take_screenshots.sh $(BUILD)

tsan: deps
	cmake -S . -B $(TSAN_BUILD) -G Ninja -DCLIPGIF_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target $(TSAN_TARGETS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS="$(TSAN_OPTIONS)" \
	ctest --output-on-failure -j $(JOBS) -R '$(TSAN_PATTERN)'

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(TSAN_BUILD)

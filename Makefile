# The two commands of a new machine:
#   make demo   installs what is missing, builds and runs navdemo (out/navdemo.png)
#   make test   installs what is missing, builds and runs every test through ctest
# make gallery writes out/gallery/index.html, a picture of every drawing family;
# and make bench builds and runs the benchmarks; make format-check checks the
# layout of the sources that already follow .clang-format.

BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= 2
CMAKE_FLAGS ?=
# ccache, where the machine has it, keeps rebuilds of several checkouts short.
CCACHE := $(shell command -v ccache 2>/dev/null)
ifneq ($(CCACHE),)
CMAKE_FLAGS += -DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE) -DCMAKE_C_COMPILER_LAUNCHER=$(CCACHE)
endif

# git brings a real PNG file (gitweb's logo) that the image tests compare readers on.
# giflib-tools and libjpeg-turbo-progs make and decode the picture decoders' test files.
PACKAGES = cmake ninja-build g++ pkg-config clang-format git \
	libfreetype-dev libpng-dev libjpeg62-turbo-dev zlib1g-dev \
	libgtest-dev libbenchmark-dev libsdl2-dev \
	fonts-dejavu-core fonts-droid-fallback fonts-wqy-microhei \
	giflib-tools libjpeg-turbo-progs

.PHONY: demo gallery live-check test test-sanitize test-tsan soak sweep fuzz fuzz-build bench bench-ratios deps configure build clean format format-check

# $(call install-missing,PACKAGES,COMMAND): installs the packages that are
# missing when running as root; otherwise prints the apt-get line and runs COMMAND.
define install-missing
missing=""; \
for p in $(1); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
if [ -n "$$missing" ]; then \
  if [ "$$(id -u)" = 0 ]; then \
    echo "installing:$$missing"; \
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $$missing; \
  else \
    echo "missing packages; run as root:"; \
    echo "  apt-get install -y$$missing"; \
    $(2); \
  fi; \
fi
endef

deps:
	@$(call install-missing,$(PACKAGES),exit 1)

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS) >/dev/null

build: configure
	cmake --build $(BUILD) -j $(JOBS)

demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target navdemo
	$(BUILD)/demo/navdemo out

# The picture gallery, the page a new user opens first: out/gallery/index.html.
gallery: configure
	cmake --build $(BUILD) -j $(JOBS) --target gallery
	$(BUILD)/demo/gallery out/gallery

# navdemo --live on a real X server (Xvfb), driven by xdotool and seen through
# xwd: out/live-check/*.png, and a failure unless the window shows the live
# scene. Not part of CI; its packages are installed here only.
LIVE_CHECK_PACKAGES = xvfb x11-apps xdotool python3

live-check: configure
	@$(call install-missing,$(LIVE_CHECK_PACKAGES),exit 1)
	cmake --build $(BUILD) -j $(JOBS) --target navdemo
	KESRA_DISPLAY=headless $(BUILD)/demo/navdemo out/live-check/headless >/dev/null
	python3 demo/live_check.py $(BUILD)/demo/navdemo out/live-check/headless out/live-check

test: build
	cd $(BUILD) && ctest -j $(JOBS) --output-on-failure

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer (the
# consumer test links an installed library without the sanitizers: left out).
test-sanitize: deps
	@cmake -S . -B $(BUILD)-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESRA_SANITIZE=ON \
	  -DKESRA_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD)-sanitize -j $(JOBS)
	cd $(BUILD)-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest -j $(JOBS) --output-on-failure -E consumer_program

# The suites that start threads (ctest label "threads") under ThreadSanitizer;
# only their binaries are built, so this adds a few minutes to CI.
TSAN_TESTS = test_platform test_core test_surface test_overlays test_transitions test_display_sdl \
	test_gif_play test_ani test_regressions
test-tsan: deps
	@cmake -S . -B $(BUILD)-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESRA_TSAN=ON \
	  -DKESRA_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD)-tsan -j $(JOBS) --target $(TSAN_TESTS)
	cd $(BUILD)-tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
	  ctest -j $(JOBS) --output-on-failure -L threads

# The long run of the map (SOAK_FRAMES frames) under LeakSanitizer, in the
# plain build: resident memory is sampled every 100 frames, and the run fails
# on a leak or on growth after the first hundred.
SOAK_FRAMES ?= 10000
soak: configure
	cmake --build $(BUILD) -j $(JOBS) --target kesra-soak
	KESRA_DISPLAY=headless LSAN_OPTIONS=exitcode=23 $(BUILD)/tests/kesra-soak --frames $(SOAK_FRAMES)

# Every fuzz harness (each fuzz/fuzz_*.cpp) in turn under libFuzzer (clang),
# FUZZ_SECONDS each, with a memory limit and a time limit per input, so that
# an input that exhausts memory or time is reported like a crash. Corpora
# grow in fuzz/corpus/HARNESS, starting from seeds made by the project's tools
# (kesra-pack, kesra-ini, kesra-ani, the font builder) and, when make test has
# run, the Debian sample images; formats with magic values get a dictionary.
# The time limit is wall time. A 3.5 KB JPEG may declare a 65476 x 150 frame
# with two scans, which the decoder must fill (below the 16.7M-pixel limit):
# 4.3 s of CPU in the instrumented build, more than 10 s of wall time on a
# loaded 2-core machine, so 10 s reported legitimate work as a hang; 30 s
# still catches a real one.
FUZZ_SECONDS ?= 60
FUZZ_BUILD = $(BUILD)-fuzz
FUZZ_FLAGS = -rss_limit_mb=512 -malloc_limit_mb=512 -timeout=30 -max_total_time=$(FUZZ_SECONDS) \
	-print_final_stats=1
FUZZERS ?= $(sort $(basename $(notdir $(wildcard fuzz/fuzz_*.cpp))))
IMAGE_SEEDS = $(wildcard /usr/share/gitweb/static/git-logo.png /usr/share/doc/python3/_static/file.png \
	/usr/share/doc/nodejs/thin-white-stripe.jpg /usr/share/doc/fp-compiler/3.2.2/palmos/pilrc.bmp \
	$(BUILD)/tests/debian-images/video-001.interlaced.gif $(BUILD)/tests/debian-images/triangle-001.gif \
	$(BUILD)/tests/debian-images/video-001.q50.420.jpeg $(BUILD)/tests/debian-images/video-005.gray.q50.2x2.jpeg)
STCF_SEEDS = $(FUZZ_BUILD)/fuzz/stcf_seeds
FUZZ_SEEDS_fuzz_pack = $(FUZZ_BUILD)/demo/assets/icons.pack
FUZZ_SEEDS_fuzz_pack_files = $(FUZZ_BUILD)/demo/assets/icons.pack
FUZZ_SEEDS_fuzz_frame_pack = $(FUZZ_BUILD)/fuzz/seeds/icons.frames $(FUZZ_BUILD)/fuzz/seeds/icons.scene
FUZZ_SEEDS_fuzz_ani = $(FUZZ_BUILD)/demo/assets/badge.ani
FUZZ_SEEDS_fuzz_ini = $(FUZZ_BUILD)/fuzz/seeds/example.ini
FUZZ_SEEDS_fuzz_stcf = $(STCF_SEEDS)/*.stcf $(FUZZ_BUILD)/demo/assets/labels.stcf
FUZZ_SEEDS_fuzz_font_builtin = $(FUZZ_SEEDS_fuzz_stcf)
FUZZ_SEEDS_fuzz_font = /usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf
FUZZ_DICT_fuzz_gif = fuzz/gif.dict
FUZZ_DICT_fuzz_jpeg_own = fuzz/jpeg.dict
FUZZ_DICT_fuzz_image_jpeg = fuzz/jpeg.dict
FUZZ_DICT_fuzz_image_png = fuzz/png.dict
FUZZ_DICT_fuzz_frame_pack = fuzz/png.dict
FUZZ_DICT_fuzz_image_bmp = fuzz/bmp.dict
FUZZ_DICT_fuzz_ani = fuzz/wave.dict

fuzz-build: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DKESRA_FUZZ=ON -DKESRA_BUILD_TESTS=OFF \
	  -DKESRA_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZERS) make_stcf_seeds navdemo_icon_pack \
	  navdemo_animation navdemo_label_font
	$(FUZZ_BUILD)/fuzz/make_stcf_seeds $(STCF_SEEDS)

# $(call run-fuzzer,HARNESS): its own seeds (the image files for the image
# decoders) copied into its corpus, then libFuzzer on that corpus.
run-fuzzer = mkdir -p fuzz/corpus/$(1) && \
	{ for s in $(or $(FUZZ_SEEDS_$(1)),$(IMAGE_SEEDS)); do [ ! -f $$s ] || cp -n $$s fuzz/corpus/$(1)/; done; } && \
	echo "== $(1) ($(FUZZ_SECONDS) s)" && \
	$(FUZZ_BUILD)/fuzz/$(1) $(FUZZ_FLAGS) $(if $(FUZZ_DICT_$(1)),-dict=$(FUZZ_DICT_$(1))) \
	  -artifact_prefix=$(FUZZ_BUILD)/$(1)- fuzz/corpus/$(1)

fuzz: fuzz-build
	@$(foreach f,$(FUZZERS),$(call run-fuzzer,$(f)) && ) true
	@$(MAKE) --no-print-directory sweep

# The hostile-input sweep in full (make test and make test-sanitize run a
# sample of it, ctest label "sweep"): each harness's format files cut at every
# offset and mutated SWEEP_MUTATIONS times with a fixed seed, under ASan and
# UBSan, each input in a child limited to 10 s of processor time (a minute on
# the clock) and 512 MB. A finding names the harness, file and cut:N or
# mutation:N, and keeps the input in $(BUILD)-sanitize/tests/sweep-findings;
# build/tests/sweep_HARNESS --only cut:N FILE runs it again in one process.
SWEEP_MUTATIONS ?= 4000
sweep: deps
	@cmake -S . -B $(BUILD)-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESRA_SANITIZE=ON \
	  -DKESRA_BUILD_BENCH=OFF $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD)-sanitize -j $(JOBS) --target $(addprefix sweep_,$(FUZZERS)) sweep_selftest make_stcf_seeds
	cd $(BUILD)-sanitize && KESRA_SWEEP=full KESRA_SWEEP_MUTATIONS=$(SWEEP_MUTATIONS) \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest -j $(JOBS) --output-on-failure -L sweep

# bench also installs the peers it is compared with (pixman, cairo: bench_peers;
# giflib, stb_image: bench_decoders);
# they are left out of PACKAGES so that test and demo do not pull them in.
PEER_PACKAGES = libpixman-1-dev libcairo2-dev libgif-dev libstb-dev

# The programs whose main is the ratio harness append their ratio cases to
# one file; bench_report prints them as one table and writes bench/results.json.
BENCH_HARNESSED = bench_pixel bench_fill bench_map bench_bitmap bench_image bench_transitions bench_peers bench_navscene
BENCH_CASES = $(BUILD)/bench/ratio_cases.tsv

bench: deps
	@$(call install-missing,$(PEER_PACKAGES),echo "bench_peers is left out")
	@$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) -j $(JOBS)
	@rm -f $(BENCH_CASES)
	@for b in $(BUILD)/bench/bench_*; do \
	  name=$$(basename $$b); [ -x "$$b" ] && [ "$$name" != bench_report ] || continue; \
	  case " $(BENCH_HARNESSED) " in \
	    *" $$name "*) "$$b" --benchmark_min_time=0.2 --cases $(BENCH_CASES);; \
	    *) "$$b" --benchmark_min_time=0.2;; \
	  esac; \
	done
	@$(BUILD)/bench/bench_report --commit "$$(git rev-parse --short HEAD)$$(git diff --quiet HEAD -- . || echo +changes)" \
	  --out bench/results.json $(BENCH_CASES)

# The ratio table alone (no Google Benchmark cases): a few minutes.
bench-ratios: deps
	@$(call install-missing,$(PEER_PACKAGES),echo "bench_peers is left out")
	@$(MAKE) --no-print-directory configure
	cmake --build $(BUILD) -j $(JOBS) --target bench_report $(BENCH_HARNESSED)
	@rm -f $(BENCH_CASES)
	@for name in $(BENCH_HARNESSED); do \
	  [ -x $(BUILD)/bench/$$name ] && $(BUILD)/bench/$$name --ratios-only --cases $(BENCH_CASES) >/dev/null; \
	done; true
	@$(BUILD)/bench/bench_report --commit "$$(git rev-parse --short HEAD)$$(git diff --quiet HEAD -- . || echo +changes)" \
	  --out bench/results.json $(BENCH_CASES)

# Every tracked source is laid out by Debian's clang-format with .clang-format
# (make format applies it, CI checks it); the code page table's generator
# writes that layout too.
FORMAT_SOURCES = $(shell git ls-files '*.cpp' '*.h')

format: deps
	clang-format -i $(FORMAT_SOURCES)

format-check: deps
	clang-format --dry-run --Werror $(FORMAT_SOURCES)

clean:
	rm -rf $(BUILD) out

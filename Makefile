# The front door. `make demo` and `make test` work on a fresh Debian 12 machine.
BUILD   ?= build
FUZZDIR ?= build-fuzz
JOBS    ?= $(shell nproc)
FUZZ_SECONDS ?= 60
# WERROR=ON turns every compiler warning into an error (CI does); off by
# default, so that a newer compiler's new warning does not stop a user's build.
WERROR  ?= OFF

.PHONY: all deps deps-demo build programs test demo fuzz bench clean

all: build

deps:
	@tools/deps.sh test
deps-demo:
	@tools/deps.sh demo

# A compiler cache, where the machine has one, makes rebuilds in several
# build folders (and CI on the same machine) cheap. Looked for when a recipe
# runs, after the deps have installed it.
LAUNCHER = $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# Configures $(BUILD) on every run (a moment when nothing changed), so that
# the options given here reach a folder configured before too.
CONFIGURE = cmake -S . -B $(BUILD) $(if $(wildcard $(BUILD)/CMakeCache.txt),,-G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo) $(LAUNCHER) -DCMAKE_COMPILE_WARNING_AS_ERROR=$(WERROR)

build: deps
	$(CONFIGURE) -DR56_TESTS=ON -DR56_BENCH=ON
	cmake --build $(BUILD) -j $(JOBS)

test: build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS); \
	  status=$$?; tools/skipped.sh $(BUILD); exit $$status

# The two programs and what they need at build time, nothing else.
programs: deps-demo
	$(CONFIGURE)
	cmake --build $(BUILD) -j $(JOBS) --target r5r6 printr5r6

demo: programs
	tools/mkdemo.sh demo $(BUILD)
	tools/rundemo.sh demo $(BUILD)

# libFuzzer builds (clang, ASan + UBSan); each target runs FUZZ_SECONDS.
fuzz:
	@tools/deps.sh fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZDIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DR56_FUZZ=ON -DR56_BENCH=OFF \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined"
	cmake --build $(FUZZDIR) -j $(JOBS) --target $$(ls tests/fuzz/*_fuzz.cpp | sed 's|.*/||;s|_fuzz.cpp||;s|^|fuzz_|')
	@for f in tests/fuzz/*_fuzz.cpp; do n=$$(basename $$f _fuzz.cpp); \
	  mkdir -p $(FUZZDIR)/corpus/$$n; \
	  echo "== $$n"; \
	  $(FUZZDIR)/fuzz/fuzz_$$n -max_total_time=$(FUZZ_SECONDS) $(FUZZDIR)/corpus/$$n tests/fuzz/seeds/$$n || exit 1; \
	done

# The tests built with AddressSanitizer and UndefinedBehaviorSanitizer (leak
# detection on, every finding fatal) in a build folder of their own, and run.
# Findings go to report files, so that those of the programs a test starts
# (the printing program, a second copy) count as well.
SANITIZEDIR ?= build-sanitize
SANITIZE := -fsanitize=address,undefined,float-cast-overflow
SANITIZE_REPORT = $(abspath $(SANITIZEDIR))/sanitizer-report
SANITIZE_RUN = QT_QPA_PLATFORM=offscreen \
  ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:strict_string_checks=1:suppressions=$(abspath tests/support/asan.supp):log_path=$(SANITIZE_REPORT) \
  LSAN_OPTIONS=print_suppressions=0:suppressions=$(abspath tests/support/lsan.supp) \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:log_path=$(SANITIZE_REPORT)
.PHONY: test-sanitize
test-sanitize: deps
	cmake -S . -B $(SANITIZEDIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DR56_TESTS=ON -DR56_BENCH=OFF $(LAUNCHER) \
	  -DCMAKE_COMPILE_WARNING_AS_ERROR=$(WERROR) -DCMAKE_CXX_FLAGS="$(SANITIZE) -fno-sanitize-recover=all -fno-omit-frame-pointer" \
	  -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE)"
	cmake --build $(SANITIZEDIR) -j $(JOBS)
	rm -f $(SANITIZE_REPORT).*
	cd $(SANITIZEDIR) && $(SANITIZE_RUN) ctest --output-on-failure -j $(JOBS); status=$$?; \
	  cd .. && tools/skipped.sh $(SANITIZEDIR); \
	  if ls $(SANITIZE_REPORT).* >/dev/null 2>&1; then cat $(SANITIZE_REPORT).*; exit 1; fi; \
	  exit $$status

bench: build
	@for b in $(BUILD)/bench/*_bench; do echo "== $$b"; $$b; done

clean:
	rm -rf $(BUILD) $(FUZZDIR) $(SANITIZEDIR) demo

# The two everyday commands:
#   make run    install what is missing, build, and start the monitor on the stand-in board
#   make test   install what is missing, build, and run the whole test suite
# QT=5 builds against Qt 5.15 instead of Qt 6; CMAKE_FLAGS adds configure options.

QT ?= 6
BUILD_DIR ?= build/qt$(QT)
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build run test bench sanitize memcheck check-static fuzz screenshot \
        windows windows-e2e-tools test-windows screenshot-windows clean

all: build

deps:
	@scripts/install-deps.sh $(QT)

configure: deps
	cmake -S . -B $(BUILD_DIR) -DPOWERMONITOR_QT=$(QT) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD_DIR) --parallel $(JOBS)

run: build
	@scripts/run.sh $(BUILD_DIR)/powermonitor

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure --parallel $(JOBS)

# Tick cost, start-up, CPU and memory against a bare Qt window, and the soak.
# BENCH_SECONDS: how long the side-by-side run lasts; SOAK_TICKS: the soak's length.
BENCH_SECONDS ?= 30
SOAK_TICKS ?= 1000000
bench: build
	bench/run_benchmarks.sh $(BUILD_DIR) $(BENCH_SECONDS) $(SOAK_TICKS)

# The whole test suite built with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer, stopping at the first report.
SANITIZE_DIR ?= build/sanitize-qt$(QT)
sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) -DPOWERMONITOR_QT=$(QT) -DCMAKE_BUILD_TYPE=Debug -DPOWERMONITOR_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_DIR) --parallel $(JOBS)
	cd $(SANITIZE_DIR) && \
	ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=1 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/sanitizers/lsan.supp:print_suppressions=0 \
	ctest --output-on-failure --parallel $(JOBS)

# clang-format and clang-tidy on the project's own sources.
check-static: configure
	@scripts/install-deps.sh $(QT) checks
	scripts/static-checks.sh $(BUILD_DIR)

# The poll and controls tests under valgrind memcheck.
memcheck: build
	@scripts/install-deps.sh $(QT) checks
	scripts/memcheck.sh $(BUILD_DIR)

# Open-ended fuzzing of the stand-in board library with libFuzzer (clang).
# FUZZ_ARGS passes libFuzzer options, e.g. FUZZ_ARGS=-max_total_time=600.
FUZZ_ARGS ?= -runs=200000
fuzz:
	@scripts/install-deps.sh $(QT) checks
	mkdir -p build/fuzz/corpus
	clang -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
	    -Iboard -Iboard/standin board/standin/standin_board.c tests/fuzz/standin_fuzz.c \
	    -o build/fuzz/standin_libfuzzer
	build/fuzz/standin_libfuzzer -max_len=4096 $(FUZZ_ARGS) build/fuzz/corpus

# The README's picture of the window, taken by the end-to-end check under Xvfb.
screenshot: build
	cd $(BUILD_DIR) && ctest -R e2e_close_window --output-on-failure
	mkdir -p docs && cp $(BUILD_DIR)/tests/e2e/powermonitor.png docs/powermonitor.png

# The Windows program, cross-built with MinGW-w64 against Qt 6.4.2 for Windows
# (scripts/windows-qt.sh puts it under build/), and its tests, installer and
# end-to-end check under Wine. The installer's check finds and closes the
# window with the Linux build's X11 tools.
WINDOWS_DIR ?= build/windows
windows:
	@scripts/install-deps.sh 6 windows
	qt=$$(scripts/windows-qt.sh build) && \
	cmake -S . -B $(WINDOWS_DIR) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_TOOLCHAIN_FILE=$$qt/lib/cmake/Qt6/qt.toolchain.cmake \
	    -DQT_CHAINLOAD_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/$$(gcc -print-multiarch)/cmake \
	    -DPOWERMONITOR_HOST_TOOLS=$(CURDIR)/$(BUILD_DIR)/tests/e2e $(CMAKE_FLAGS)
	cmake --build $(WINDOWS_DIR) --parallel $(JOBS)

windows-e2e-tools: configure
	cmake --build $(BUILD_DIR) --target x11_window x11_grab --parallel $(JOBS)

test-windows: windows windows-e2e-tools
	cd $(WINDOWS_DIR) && ctest --output-on-failure --parallel $(JOBS)

# The README's picture of the Windows program, taken under Wine on Xvfb.
screenshot-windows: windows windows-e2e-tools
	cd $(WINDOWS_DIR) && ctest -R deploy_windows_installer --output-on-failure
	mkdir -p docs && cp $(WINDOWS_DIR)/tests/deploy/powermonitor-windows.png docs/powermonitor-windows.png

clean:
	rm -rf build

# The two everyday commands:
#   make run    install what is missing, build, and start the monitor on the stand-in board
#   make test   install what is missing, build, and run the whole test suite
# QT=5 builds against Qt 5.15 instead of Qt 6; CMAKE_FLAGS adds configure options;
# BUILD_TYPE overrides the preset's build type; SKIP_DEPS=1 skips installing the
# Debian packages (for packagers and machines without sudo). The configurations themselves are
# CMake presets (CMakePresets.json), which IDEs and `cmake --preset` read too;
# the build folders are the presets' own.

QT ?= 6
PRESET := qt$(QT)
# A preset's build folder, asked for by the shell as a recipe runs: on a fresh
# machine python3 comes with the packages that the recipe's deps install.
preset_dir = $$(scripts/preset-dir.py $(1))
BUILD_DIR := $(call preset_dir,$(PRESET))
BUILD_TYPE ?=
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
configure_flags = $(if $(BUILD_TYPE),-DCMAKE_BUILD_TYPE=$(BUILD_TYPE)) $(CMAKE_FLAGS)
SKIP_DEPS ?=
install_deps = $(if $(SKIP_DEPS),@true,@scripts/install-deps.sh)
# Each ctest run leaves its results in its build folder, where CI reads which
# tests did not run.
junit = --output-junit $(CURDIR)/$(1)/ctest-results.xml

.PHONY: all deps configure build run test bench sanitize memcheck check-static fuzz screenshot docs \
        windows test-windows bench-windows screenshot-windows release test-release test-debian13 clean

all: build

# The packages are checked (and installed) by the commands that start from
# nothing: run, test and the checks; configure and build assume them.
deps:
	$(install_deps) $(QT)

configure:
	cmake --preset $(PRESET) $(configure_flags)

build: configure
	cmake --build --preset $(PRESET) --parallel $(JOBS)

run: deps
	@$(MAKE) --no-print-directory build
	@scripts/run.sh $(BUILD_DIR)/powermonitor

test: deps
	@$(MAKE) --no-print-directory build
	ctest --preset $(PRESET) --parallel $(JOBS) $(call junit,$(BUILD_DIR))

# Tick cost, start-up, CPU and memory against a bare Qt window, and the soak.
# BENCH_SECONDS: how long the side-by-side run lasts; SOAK_TICKS: the soak's length.
BENCH_SECONDS ?= 30
SOAK_TICKS ?= 1000000
bench: build
	bench/run_benchmarks.sh $(BUILD_DIR) $(BENCH_SECONDS) $(SOAK_TICKS)

# The whole test suite built with AddressSanitizer, LeakSanitizer and
# UndefinedBehaviorSanitizer, stopping at the first report.
sanitize:
	$(install_deps) $(QT) checks
	cmake --preset sanitize-$(PRESET) $(CMAKE_FLAGS)
	cmake --build --preset sanitize-$(PRESET) --parallel $(JOBS)
	ctest --preset sanitize-$(PRESET) --parallel $(JOBS) $(call junit,$(call preset_dir,sanitize-$(PRESET)))

# clang-format and clang-tidy on the project's own sources.
check-static:
	$(install_deps) $(QT) checks
	@$(MAKE) --no-print-directory build
	scripts/static-checks.sh $(BUILD_DIR)

# The poll and controls tests under valgrind memcheck.
memcheck:
	$(install_deps) $(QT) checks
	@$(MAKE) --no-print-directory build
	scripts/memcheck.sh $(BUILD_DIR)

# The stand-in board library and board-check's rules under libFuzzer (clang)
# with AddressSanitizer and UndefinedBehaviorSanitizer, each for FUZZ_ARGS
# (libFuzzer options: a fixed number of runs, or e.g. -max_total_time=600).
FUZZ_ARGS ?= -runs=200000
FUZZ_DIR := $(call preset_dir,fuzz)
fuzz:
	$(install_deps) $(QT) checks
	cmake --preset fuzz $(CMAKE_FLAGS)
	cmake --build --preset fuzz --parallel $(JOBS)
	scripts/fuzz.sh $(FUZZ_DIR) $(FUZZ_ARGS)

# The documents' generated parts (board-check --help, the installer's exit codes,
# the build options) written anew from where each is kept; the test docs_check
# fails while they differ.
docs: build
	cmake --build --preset $(PRESET) --target board_check
	scripts/docs.py write $(BUILD_DIR)/board/check/board-check

# The picture of the window in the README, taken by the end-to-end check under Xvfb.
screenshot: build
	ctest --preset $(PRESET) -R e2e_close_window
	mkdir -p docs && cp $(BUILD_DIR)/tests/e2e/powermonitor.png docs/powermonitor.png

# The Windows programs, cross-built with MinGW-w64 and tested under Wine:
# WINDOWS_ARCH=x64 (the default) for Windows 10 1809 and later on Qt 6, WINDOWS_ARCH=x86
# for Windows 7 SP1 to 11 on Qt 5.15, each in its preset's build folder. The Qt for
# Windows comes from scripts/windows-qt.sh (into build/). The installer's check
# finds and closes the window with X11 tools that the build makes for this machine,
# and installs the other architecture's installer beside, when that was built.
WINDOWS_ARCH ?= x64
ifeq ($(WINDOWS_ARCH),x64)
OTHER_WINDOWS_ARCH := x86
WINDOWS_SCREENSHOT := docs/powermonitor-windows.png
else ifeq ($(WINDOWS_ARCH),x86)
OTHER_WINDOWS_ARCH := x64
WINDOWS_SCREENSHOT := docs/powermonitor-windows-x86.png
else
$(error WINDOWS_ARCH is x64 or x86, not '$(WINDOWS_ARCH)')
endif
WINDOWS_DIR := $(call preset_dir,windows-$(WINDOWS_ARCH))
OTHER_INSTALLER_DIR := $(CURDIR)/$(call preset_dir,windows-$(OTHER_WINDOWS_ARCH))/tests/deploy/installer

windows:
	$(install_deps) 6 windows-$(WINDOWS_ARCH)
	scripts/windows-qt.sh $(WINDOWS_ARCH) build >/dev/null
	cmake --preset windows-$(WINDOWS_ARCH) -DPOWERMONITOR_OTHER_INSTALLER_DIR=$(OTHER_INSTALLER_DIR) $(CMAKE_FLAGS)
	cmake --build --preset windows-$(WINDOWS_ARCH) --parallel $(JOBS)

# The tests run 32-bit Wine, which a kernel without IA-32 execution runs only
# under QEMU's emulation: set up where needed (scripts/i386-emulation.sh).
wine_tests_deps = $(install_deps) 6 windows-$(WINDOWS_ARCH) wine-tests

# A test that fails is run once more: now and then a Windows program loses its
# connection to the prefix's Wine server as that server starts or quits
# ("wine client error: recvmsg: Connection reset by peer"); a real fault fails twice.
test-windows: windows
	$(wine_tests_deps)
	ctest --preset windows-$(WINDOWS_ARCH) --parallel $(JOBS) --repeat until-pass:2 $(call junit,$(WINDOWS_DIR))

# A board call through the Windows binding beside a direct call, under Wine.
bench-windows: windows
	$(wine_tests_deps)
	scripts/wine-run.sh $(CURDIR)/$(WINDOWS_DIR)/wine-tests $(CURDIR)/build/windows-qt-$(WINDOWS_ARCH)/bin $(WINDOWS_DIR)/bin/bench_binding.exe

# The pictures of the Windows program in docs/building.md, at 100 % and 150 %, taken under Wine on Xvfb.
screenshot-windows: windows
	$(wine_tests_deps)
	ctest --preset windows-$(WINDOWS_ARCH) -R deploy_windows_installer
	mkdir -p docs && cp $(WINDOWS_DIR)/tests/deploy/powermonitor-windows.png $(WINDOWS_SCREENSHOT)
	cp $(WINDOWS_DIR)/tests/deploy/powermonitor-windows-150.png $(WINDOWS_SCREENSHOT:.png=-150.png)

# The release of the checked-out commit in build/release, the same bytes from any
# clean clone: both .deb files, both Windows installers and ZIPs, the source
# archive, the Windows programs' Qt source, a bill of materials (SPDX) for each
# package, and SHA256SUMS. Keys for signing it are named in variables that
# scripts/release.sh lists: SIGN_PKCS12 or SIGN_PKCS11_MODULE (Authenticode,
# into build/release/signed), SIGN_GPG_KEY (SHA256SUMS.asc).
RELEASE_DEPS := 6 windows-x64 windows-x86 release
release:
	$(install_deps) $(RELEASE_DEPS)
	JOBS=$(JOBS) scripts/release.sh

# The release made twice, from two clones of the commit under different
# conditions, compared; then signed with keys made for the test and checked.
test-release:
	$(install_deps) $(RELEASE_DEPS)
	tests/release/release_test.sh build/release-test

# The README's two commands on Debian 13, the stable release, in a minimal root
# made for the run from Debian's archive and removed after it: make test for
# Qt 6 and Qt 5, from a clean clone of the checked-out commit (CMAKE_FLAGS
# goes along). Needs root or sudo; the machine itself is Debian 12.
# DEBIAN_PACKAGES names a folder of the .deb files built here, which are then
# installed there, checked by its lintian and started.
DEBIAN_PACKAGES ?=
test-debian13:
	$(install_deps) $(QT) debian-root
	CMAKE_FLAGS="$(CMAKE_FLAGS)" RELEASE_ROOT_PACKAGES="$(DEBIAN_PACKAGES)" \
	    tests/debian/release_root_test.sh trixie build/debian13 "test QT=6" "test QT=5"

clean:
	rm -rf build

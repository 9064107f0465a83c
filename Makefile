# The two everyday commands:
#   make run    install what is missing, build, and start the monitor on the stand-in board
#   make test   install what is missing, build, and run the whole test suite
# QT=5 builds against Qt 5.15 instead of Qt 6; CMAKE_FLAGS adds configure options.

QT ?= 6
BUILD_DIR ?= build/qt$(QT)
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps configure build run test screenshot clean

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

# The README's picture of the window, taken by the end-to-end check under Xvfb.
screenshot: build
	cd $(BUILD_DIR) && ctest -R e2e_close_window --output-on-failure
	mkdir -p docs && cp $(BUILD_DIR)/tests/e2e/powermonitor.png docs/powermonitor.png

clean:
	rm -rf build

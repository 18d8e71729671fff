# Two commands set everything up on a fresh Debian or Ubuntu machine:
#   make run    installs what is missing, builds, and starts Vellumet
#   make check  installs what is missing, builds, and runs every test
# `make check-asan` runs the tests again under AddressSanitizer and UBSan, in a locale whose
# decimal mark is a comma; `make check-release` builds and tests everything as a packager
# would build it (CMAKE_BUILD_TYPE=Release, the optimiser's extra warnings included);
# `make check-clang` builds the same Release with clang and runs the tests, so that code
# either compiler warns about stops the build.
# Every target here builds with warnings as errors (VELLUMET_WERROR); a plain cmake build
# does not.

BUILD         ?= build
ASAN_BUILD    ?= build-asan
RELEASE_BUILD ?= build-release
CLANG_BUILD   ?= build-clang
JOBS       ?= $(shell nproc)
DEBS = cmake make g++ clang pkg-config qt6-base-dev libgl-dev zlib1g-dev libgtest-dev \
       qpdf poppler-utils mupdf-tools gzip locales xvfb xauth x11-utils acl strace ghostscript
COMMA_LOCALE = de_DE.UTF-8

.PHONY: all deps locale build run check check-asan check-release check-clang bench clean

all: build

deps:
	@missing=$$(for p in $(DEBS); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing missing packages:" $$missing; \
	  if [ "$$(id -u)" = 0 ]; then SUDO=; else SUDO=sudo; fi; \
	  $$SUDO apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y --no-install-recommends $$missing; \
	fi

# The comma-decimal locale that check-asan runs under, and that the number tests of every
# check switch to themselves.
locale: deps
	@if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$$'; then \
	  if [ "$$(id -u)" = 0 ]; then SUDO=; else SUDO=sudo; fi; \
	  echo "$(COMMA_LOCALE) UTF-8" | $$SUDO tee -a /etc/locale.gen >/dev/null && $$SUDO locale-gen; \
	fi

# Configured every time, so that a build folder made by hand gets the project's options too.
build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLUMET_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/bin/vellumet

check: build locale
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

check-asan: locale
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVELLUMET_SANITIZE=ON -DVELLUMET_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && LC_ALL=$(COMMA_LOCALE) \
	  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

# The optimiser's own warnings and anything that behaves differently at -O3 show here.
check-release: deps
	cmake -S . -B $(RELEASE_BUILD) -DCMAKE_BUILD_TYPE=Release -DVELLUMET_WERROR=ON
	cmake --build $(RELEASE_BUILD) -j $(JOBS)
	cd $(RELEASE_BUILD) && ctest --output-on-failure -j $(JOBS)

# A build folder keeps the compiler it was first configured with, hence a folder of its own.
check-clang: deps
	CC=clang CXX=clang++ cmake -S . -B $(CLANG_BUILD) -DCMAKE_BUILD_TYPE=Release -DVELLUMET_WERROR=ON
	cmake --build $(CLANG_BUILD) -j $(JOBS)
	cd $(CLANG_BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	$(BUILD)/bin/bench_pdf

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(RELEASE_BUILD) $(CLANG_BUILD)

# Front door of the build: `make run` and `make test` work on a fresh Debian 12
# machine (missing packages are installed first). The real build is CMake + Ninja in
# build/.

BUILD_DIR := build
CLI := $(BUILD_DIR)/bin/porukana-cli
GUI := $(BUILD_DIR)/bin/porukana
EXAMPLE := examples/hello.prk
TEST_ENV := QT_QPA_PLATFORM=offscreen QT_FONT_DPI=96 LANG=C.UTF-8

PREFIX ?= /usr/local
# WERROR=ON turns compiler warnings into errors (CI builds with it).
WERROR ?= OFF

.PHONY: all build deps configure run test bench fuzz clean install deb docs

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then \
	  cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPORUKANA_WERROR=$(WERROR); \
	fi

build: configure
	cmake --build $(BUILD_DIR)

# The window when a display is there, the console otherwise.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  $(GUI) $(EXAMPLE); \
	else \
	  $(CLI) $(EXAMPLE); \
	fi

test: build
	$(TEST_ENV) ctest --test-dir $(BUILD_DIR) --output-on-failure -j2

# Installs below PREFIX (DESTDIR is honoured too).
install: build
	cmake --install $(BUILD_DIR) --prefix $(PREFIX)

# The Debian package, written to build/packages/.
deb: build
	cd $(BUILD_DIR) && cpack -G DEB -B packages

# The command reference and the guide: the Markdown pages in docs/reference/ from
# their data, then HTML of every page in build/docs/ (the reference with its search),
# and the screenshots in docs/images/ (under xvfb-run when it is there).
docs: build
	$(BUILD_DIR)/bin/porukana-docgen pages docs/reference/data docs/reference
	$(BUILD_DIR)/bin/porukana-docgen html --search $(BUILD_DIR)/docs/reference docs/reference/*.md
	$(BUILD_DIR)/bin/porukana-docgen search docs/reference/data $(BUILD_DIR)/docs/reference
	$(BUILD_DIR)/bin/porukana-docgen html $(BUILD_DIR)/docs docs/guide.md
	tools/docgen/screenshots.sh $(CURDIR)/$(BUILD_DIR)/bin docs/images
	mkdir -p $(BUILD_DIR)/docs/images && cp docs/images/*.png $(BUILD_DIR)/docs/images/
	@echo "HTML: $(BUILD_DIR)/docs/guide.html, $(BUILD_DIR)/docs/reference/index.html"

bench: build
	bench/run.sh $(CLI)

# Every fuzz target under afl-fuzz for FUZZ_SECONDS each (see fuzz/run.sh);
# FUZZ_TARGETS picks some.
FUZZ_SECONDS ?= 60
fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) fuzz/run.sh

clean:
	rm -rf $(BUILD_DIR)

# Set-up, build, run and tests of cxl2xhtml on Debian 12.
# `make run` and `make test` are the two commands a newcomer needs.

BUILD_PACKAGES := cmake g++ make pkg-config libmxml-dev libgtest-dev
TEST_PACKAGES := libxml2-dev w3c-sgml-lib fusefat dosfstools
SANITIZE_PACKAGES := clang libclang-rt-14-dev
FUZZ_PACKAGES := libxml2-dev
BROWSER_PACKAGES := chromium fonts-liberation

FUZZ_SECONDS ?= 120

.PHONY: all build program run test browser-node18 sanitize fuzz bench windows web deb browser-deps packages test-packages clean

all: build

packages:
	@scripts/install-packages $(BUILD_PACKAGES)

test-packages:
	@scripts/install-packages $(BUILD_PACKAGES) $(TEST_PACKAGES) $(BROWSER_PACKAGES)
	@scripts/install-node-packages

# Configuring needs the packages: order-only prerequisites keep `make -j`
# from configuring before they are installed.
build/CMakeCache.txt: | packages
	cmake --preset default

build: packages build/CMakeCache.txt
	cmake --build --preset default

# The program alone, quietly (its output kept in build-install/build.log and
# shown when the build fails): no tests, no tools.
build-install/CMakeCache.txt: | packages
	@cmake --preset install > /dev/null

program: packages build-install/CMakeCache.txt
	@echo "Building cxl2xhtml (build-install/build.log)"
	@cmake --build --preset install -j "$$(nproc)" > build-install/build.log 2>&1 || { cat build-install/build.log; exit 1; }

# A fresh folder holding the example map as mc.cxl and its picture; the tool
# runs there, interactive: Enter three times goes through on the defaults.
run: program
	@rm -rf build/run
	@mkdir -p build/run
	@cp examples/mapa.cxl build/run/mc.cxl
	@cp examples/mapa.png build/run/SIGXX_MapaConceptual.png
	@cd build/run && ../../build-install/cxl2xhtml
	@echo "Pages in $(CURDIR)/build/run/"

test: test-packages
	@$(MAKE) --no-print-directory build/CMakeCache.txt
	cmake --build --preset default
	ctest --preset default

build-sanitize/CMakeCache.txt:
	cmake --preset sanitize

sanitize: test-packages
	@scripts/install-packages $(SANITIZE_PACKAGES)
	@$(MAKE) --no-print-directory build-sanitize/CMakeCache.txt
	cmake --build --preset sanitize
	ctest --preset sanitize

build-fuzz/CMakeCache.txt:
	cmake --preset fuzz

fuzz: packages
	@scripts/install-packages $(SANITIZE_PACKAGES) $(FUZZ_PACKAGES)
	@$(MAKE) --no-print-directory build-fuzz/CMakeCache.txt
	cmake --build --preset fuzz
	scripts/run-fuzzer build-fuzz/fuzz/load_and_write_fuzzer $(FUZZ_SECONDS)

# Cross-builds build-windows/cxl2xhtml.exe, tests it under Wine and packs
# build-windows/cxl2xhtml-VERSION-win64.zip.
windows:
	scripts/windows

# Builds build-web/cxl2xhtml.html, the browser edition, and checks it in
# Chromium against the console program.
web: program
	scripts/web "$(CURDIR)/build-install/cxl2xhtml"

# Builds build-deb/cxl2xhtml_VERSION_ARCH.deb, checks it with lintian, and
# installs, runs and removes it in a scratch root.
deb:
	scripts/deb

# The browser check once more, under Debian 12's own Node.js 18 (CI runs it).
browser-node18: test-packages
	@$(MAKE) --no-print-directory build/CMakeCache.txt
	cmake --build --preset default --target cxl2xhtml
	scripts/browser-check-node18

bench: build web
	@scripts/install-packages strace
	scripts/bench

clean:
	rm -rf build build-install build-sanitize build-fuzz build-windows build-web build-deb

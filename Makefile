# Thin wrapper over the CMake presets; see README.md.
JOBS ?= $(shell nproc)

.PHONY: deps test test-asan test-fresh bench run windows web run-web bench-web package format lint fuzz

deps:
	scripts/install-deps

# The suite runs kestrovan.exe under wine and the browser edition in headless
# Chromium too, so it builds both first.
test: deps windows web
	cmake --preset default
	cmake --build --preset default -j $(JOBS)
	ctest --preset default -j $(JOBS)

test-asan: deps windows
	cmake --preset debug-asan
	cmake --build --preset debug-asan -j $(JOBS)
	ctest --preset debug-asan -j $(JOBS)

# The README's two commands on a fresh Debian (DEBIAN=12 or 13): a minimal
# system in a chroot with make and git added and this HEAD cloned; see
# scripts/test-fresh. The first run downloads everything, later ones reuse it.
DEBIAN ?= 13
test-fresh: deps
	scripts/test-fresh $(DEBIAN)

# The presentation benchmarks need an X display: without one, a private Xvfb.
# Then the editor's pace in a window on an Xvfb of its own: idle CPU of the
# editor and its X server, passes per second, input-to-present latency.
bench: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target kestrovan_bench kestrovan_desktop_pace
	if [ -n "$$DISPLAY" ]; then build/default/bench/kestrovan_bench; \
	else xvfb-run -a -s "-screen 0 1600x1200x24" build/default/bench/kestrovan_bench; fi
	build/default/bench/desktop/kestrovan_desktop_pace

# Builds and opens the editor; "object.3ds" lands in the current directory.
run: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target kestrovan
	build/default/app/kestrovan

# One self-contained build/windows/app/kestrovan.exe (mingw-w64 cross build).
windows: deps
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS)

# The browser edition: the site (page, bundles, program) in build/web/site/.
web: deps
	cmake --preset web
	cmake --build --preset web -j $(JOBS)

# Serves the site on http://127.0.0.1:8080/ until stopped.
run-web: web
	node web/server.mjs build/web/site 8080

# The browser edition's pace (idle CPU, passes per second, input-to-present
# latency) in headless Chromium and, if installed, Firefox ESR on a private
# Xvfb; its speed next to native render_frame; how light its page loads.
bench-web: web
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target kestrovan_bench
	cmake --build --preset web -j $(JOBS) --target kestrovan_web_bench
	node bench/web/bench_web.mjs build/web build/default/bench/kestrovan_bench
	node bench/web/load_bench.mjs build/web/site

# The installers, in build/packages: kestrovan_<version>_amd64.deb from the
# default preset, kestrovan-<version>-windows-x86_64.zip from the windows one.
package: deps windows
	cmake --preset default
	cmake --build --preset default -j $(JOBS) --target kestrovan kestrovan_desktop_data
	cpack --config build/default/CPackConfig.cmake -B $(CURDIR)/build/packages
	cpack --config build/windows/CPackConfig.cmake -B $(CURDIR)/build/packages

# Our JavaScript, CSS and HTML (the page, the back end's JavaScript half, the
# harness, tests, benchmarks and scripts), for Prettier and ESLint.
WEB_SOURCES = git ls-files '*.js' '*.mjs' '*.css' '*.html'

format: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format -i
	$(WEB_SOURCES) | xargs node_modules/.bin/prettier --log-level warn --write

# Every build is configured so the fuzzer's and the browser edition's sources
# are checked too. Our JavaScript must pass ESLint and be as Prettier writes it,
# and every npm package must run on Node 18.19 (Ubuntu 24.04, Debian 12).
lint: deps
	cmake --preset default
	cmake --preset web
	cmake --preset fuzz
	scripts/lint build/default build/fuzz build/web
	node_modules/.bin/eslint --max-warnings 0 .
	node scripts/check-node-engines.mjs
	$(WEB_SOURCES) | xargs node_modules/.bin/prettier --check --log-level warn

# The message fuzzer (the fuzz preset: clang, libFuzzer, address and
# undefined-behaviour sanitizers) run over a bounded number of inputs; about a
# minute here.
FUZZ_RUNS ?= 5000
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	scripts/fuzz build/fuzz/fuzz/message_fuzzer $(FUZZ_RUNS)

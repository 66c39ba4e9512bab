# Entry points: `make run` and `make test` do all the set-up on a fresh Debian machine.
JOBS ?= $(shell nproc)

.PHONY: deps build test run package clean fuzz fuzz-merge windows windows-deps windows-installer windows-configure

deps:
	@./scripts/install-deps

build-release/Makefile: | deps
	cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release

build-asan/Makefile: | deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKOVRIX_SANITIZE=ON

# Plain release build.
build: deps build-release/Makefile
	cmake --build build-release -j $(JOBS)

# Every test, under AddressSanitizer and UndefinedBehaviorSanitizer; LeakSanitizer leaves out the
# third-party leaks of tests/lsan.supp.
test: deps build-asan/Makefile
	cmake --build build-asan -j $(JOBS)
	cd build-asan && QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --output-on-failure -j $(JOBS)

# Fuzzing: each libFuzzer target runs FUZZ_SECONDS (default 5 minutes), seeded from its corpus in
# tests/fuzz/corpus/<target>; new inputs go to build-fuzz/corpus/<target>, crashes to
# build-fuzz/artifacts/<target>/. `make fuzz-merge` then keeps a minimal set in the tree.
FUZZ_SECONDS ?= 300
FUZZ_TARGETS ?= link script profile request telnet
FUZZ_FLAGS = -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -O1 -g

build-fuzz/Makefile: | deps
	cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DKOVRIX_FUZZ=ON \
	  -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)"

fuzz: deps build-fuzz/Makefile
	cmake --build build-fuzz -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	@status=0; for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-fuzz/corpus/$$t build-fuzz/artifacts/$$t; \
	  echo "fuzz: $$t for $(FUZZ_SECONDS) s"; \
	  build-fuzz/tests/fuzz/fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/artifacts/$$t/ build-fuzz/corpus/$$t tests/fuzz/corpus/$$t || status=1; \
	done; exit $$status

fuzz-merge: build-fuzz/Makefile
	cmake --build build-fuzz -j $(JOBS) --target $(addprefix fuzz_,$(FUZZ_TARGETS))
	@for t in $(FUZZ_TARGETS); do \
	  rm -rf build-fuzz/merged/$$t && mkdir -p build-fuzz/merged/$$t build-fuzz/corpus/$$t && \
	  build-fuzz/tests/fuzz/fuzz_$$t -merge=1 -use_counters=0 build-fuzz/merged/$$t tests/fuzz/corpus/$$t build-fuzz/corpus/$$t && \
	  rm -f tests/fuzz/corpus/$$t/* && cp build-fuzz/merged/$$t/* tests/fuzz/corpus/$$t/ || exit 1; \
	done

# Windows: Qt for mingw-w64 built once from Debian's qt6-base source into ~/.cache/kovrix (about
# 30 minutes on 2 cores the first time), then kovrix.exe, kovrix-cli.exe, the simulator and their
# tests cross-built and run under Wine: the unit and widget tests, kovrix-cli.exe and kovrix.exe end
# to end against the simulators, and the setup file installed and removed. Not part of `make test`.
windows-deps:
	@./scripts/install-deps --windows

# cpp-httplib for kovrix-server.exe: Debian installs its split form (the library compiled for Linux);
# the whole header comes from Debian's source package of the installed version.
windows-configure: deps windows-deps
	@qt=$$(./scripts/build-qt-windows | tail -n 1) && \
	  httplib=$$(./scripts/debian-source libcpp-httplib-dev \
	    "$$HOME/.cache/kovrix/cpp-httplib-$$(dpkg-query -W -f='$${Version}' libcpp-httplib-dev)" | tail -n 1) && \
	  cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	    -DKOVRIX_HOST_BUILD=$(CURDIR)/build-release -DKOVRIX_QT_WINDOWS="$$qt" -DKOVRIX_HTTPLIB_HEADER="$$httplib/httplib.h"

windows: windows-configure build-release/Makefile
	cmake --build build-release -j $(JOBS) --target kovrix-sim kovrix-cli
	cmake --build build-windows -j $(JOBS)
	cd build-windows && ctest -L windows --output-on-failure -j $(JOBS)

# The setup file alone: build-windows/kovrix-setup-<version>-x64.exe (tested by `make windows`).
windows-installer: windows-configure
	cmake --build build-windows -j $(JOBS) --target kovrix_setup

# The Debian package of the release build: build-release/kovrix_<version>_<arch>.deb.
package: build
	cd build-release && cpack -G DEB

run: build
	@./scripts/run-demo build-release

clean:
	rm -rf build-release build-asan build-fuzz build-windows

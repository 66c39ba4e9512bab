# Entry points: `make run` and `make test` do all the set-up on a fresh Debian machine.
JOBS ?= $(shell nproc)

.PHONY: deps build test run clean

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

run: build
	@./scripts/run-demo build-release

clean:
	rm -rf build-release build-asan

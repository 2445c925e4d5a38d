# Front door for newcomers and CI. Builds go to build/ (release) and build-sanitize/.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
EXAMPLE ?= examples/panel_a.rs
PREFIX ?= /usr/local

WINDOWS_BUILD ?= build-windows
PROGRAMS = kelm_iter kelm_alt kelm_eval kelm_sample kelm_fit kelm_blend
# The interpreter the Python module is built for: Debian's, where numpy and pytest come from.
PYTHON ?= $(shell test -x /usr/bin/python3 && echo /usr/bin/python3 || command -v python3)

.PHONY: all build run test build-tests python python-install-test sanitize-test tsan-test conformance fuzz-smoke install clean bench \
        package windows windows-test

all: build

# The three programs only: CMake, a C++20 compiler and the JSON header library.
build:
	tools/install_build_deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
	cmake --build $(BUILD) -j $(JOBS) --target $(PROGRAMS)

# Everything, tests and the Python module included (needs GoogleTest as well; the module's tests
# say "skipped" where pybind11 or numpy cannot be had).
build-tests:
	tools/install_build_deps --tests
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON -DKELM_PYTHON=ON \
	  -DPYTHON_EXECUTABLE=$(PYTHON)
	cmake --build $(BUILD) -j $(JOBS)

# The Python module alone, importable with PYTHONPATH=$(BUILD)/python (or: pip install
# --no-build-isolation . in a virtual environment; see the README).
python:
	tools/install_build_deps --python
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DKELM_PYTHON=ON -DPYTHON_EXECUTABLE=$(PYTHON)
	cmake --build $(BUILD) -j $(JOBS) --target _kelm
	@echo "import it with: PYTHONPATH=$(abspath $(BUILD))/python $(PYTHON)"

# All three programs on the bundled example at the ply totals its surface was fitted for: skin
# 24 plies, stiffener 32, balance rule.
run: build
	$(BUILD)/kelm_iter 24 32 $(EXAMPLE)
	$(BUILD)/kelm_alt 24 32 $(EXAMPLE)
	$(BUILD)/kelm_eval $(EXAMPLE) 24 32 '[45/45/45/45/45/45/45/45/0/90/90/90]s' \
	  '[45/45/45/45/45/45/45/45/0/0/0/0/0/0/0/0]s'

test: build-tests
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The same tests with address and undefined-behaviour sanitizers; any report fails. Assertions
# stay on (Debug), optimised at -O1: the exhaustive references run 2.6 times faster than at -O0
# and the sanitizers still see every access.
sanitize-test:
	tools/install_build_deps --tests
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=Debug '-DCMAKE_CXX_FLAGS_DEBUG=-g -O1' \
	  -DKELM_SANITIZE=ON -DBUILD_TESTING=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The tests of the threaded searches with the thread sanitizer; any report of a race fails.
TSAN_BUILD ?= build-tsan
tsan-test:
	tools/install_build_deps --tests
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELM_THREAD_SANITIZE=ON -DBUILD_TESTING=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target kelm_threaded_tests
	TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 $(TSAN_BUILD)/tests/kelm_threaded_tests \
	  --gtest_filter='AlternativeSearchTest.*:ExpansionCrewTest.*:FailureModesTest.*:IterativeDriversTest.TightTurns*:BlendSearchTest.StopAtAnyMomentNeverClaimsInfeasible'

# Byte-exact end-to-end cases kept next to the project (needs faketime for the random cases).
conformance: build
	../shared/conformance/run $(abspath $(BUILD))

# Both fuzz targets (response-surface file, command line and console answers) for FUZZ_SECONDS
# each on a copy of the seed corpus; built with clang in build-fuzz/.
FUZZ_SECONDS ?= 60
fuzz-smoke:
	tests/fuzz/run_fuzz_smoke $(FUZZ_SECONDS)

# Hot-operation benchmarks and whole searches on the bundled examples (build-bench/).
bench:
	bench/run_benchmarks

# The three programs to $(PREFIX)/bin, their manual pages to $(PREFIX)/share/man/man1.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package and a .tar.gz of the programs, manual pages and examples (in $(BUILD)/).
package: build
	cd $(BUILD) && cpack

# The Windows programs (.exe), cross-built with MinGW-w64, and their end-to-end and conformance
# cases run under Wine.
windows:
	tools/install_build_deps --windows
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target $(PROGRAMS)

windows-test: windows
	tests/windows/run_under_wine $(abspath $(WINDOWS_BUILD))

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(WINDOWS_BUILD) build-fuzz build-bench

# What a Python user does: pip install into a fresh virtual environment (Debian's packages seen
# through --system-site-packages, no package index), then the README's example.
python-install-test:
	tools/install_build_deps --python
	tests/install/pip_install_test $(PYTHON) $(abspath $(BUILD))/venv

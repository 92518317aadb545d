#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite: every test in the debug build (warnings as
# errors), then lintian on the Debian package those tests made of that build; the program with
# the other desktop's platform layer, and the core and terminal tests with it; the core,
# platform, terminal and command-line tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer; the tests that run scan cycles and clicks on several threads under
# ThreadSanitizer; each fuzz target for a short fixed run; then the house style checks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# Four builds of one tree: a compiler cache keyed on paths relative to the clone lets a second
# run, or a second clone, rebuild only what changed.
if command -v ccache >/dev/null; then
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
    export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
fi
jobs=$(nproc)
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$jobs"
ctest --preset dev -j "$jobs"
# Its errors fail the run; the README explains each warning that is kept.
lintian --fail-on error build/dev/package/fernbeacon_*.deb

# The dev build's flags, so that every file the platform choice leaves alone comes from the cache.
cmake --preset posix >/dev/null
cmake --build --preset posix -j "$jobs"
ctest --preset posix -j "$jobs"

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs" --target core_tests platform_tests terminal_tests app_tests fernbeacon
ctest --preset asan -j "$jobs" -L 'core|platform|terminal|app'

cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs" --target concurrency_tests
ctest --preset tsan -j "$jobs" -R 'OverlappingCycles|WhileRead|ConcurrentFocus'

scripts/fuzz.sh

scripts/check-style.sh

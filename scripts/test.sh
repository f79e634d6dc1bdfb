#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine and runs every test.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=build
# The tests and benchmarks trust the development release key.
options=(-DTAVRO_WERROR=ON -DTAVRO_UPDATE_DEVELOPMENT_KEY=ON)
if [ "${1:-}" = "--sanitize" ]; then
    build=build-asan
    options+=(-DTAVRO_SANITIZE=ON -DTAVRO_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

bash scripts/check-format.sh
cmake -S . -B "$build" -G Ninja "${options[@]}"
cmake --build "$build" -j "$(nproc)"
# Qt WebEngine refuses to start as root unless its sandbox is off; only tests turn it off.
export QTWEBENGINE_DISABLE_SANDBOX=1
# The run's temporary folders all go below one folder of its own, and every process it
# starts carries its mark, so that what it leaves behind can be counted afterwards.
suite_tmp=$(mktemp -d "${TMPDIR:-/tmp}/tavro-suite-XXXXXX")
# The per-user runtime folder a desktop session would give (Qt makes one in the
# temporary folder otherwise); it goes with the run, like the session's at logout.
suite_runtime=$(mktemp -d "${TMPDIR:-/tmp}/tavro-runtime-XXXXXX")
chmod 700 "$suite_runtime"
trap 'rm -rf "$suite_tmp" "$suite_runtime"' EXIT
status=0
TMPDIR=$suite_tmp TAVRO_SUITE_MARK=$suite_tmp XDG_RUNTIME_DIR=$suite_runtime \
    ctest --test-dir "$build" --output-on-failure -j 2 --timeout 600 || status=$?
bash scripts/leftovers.sh "$suite_tmp" || status=1
exit $status

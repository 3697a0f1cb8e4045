#!/usr/bin/env bash
# Installs what is missing (Debian 12, as root), builds from scratch and runs every test.
#   ./test.sh                 ordinary build
#   SENTREL_SANITIZE=asan ./test.sh   AddressSanitizer + UBSan
#   SENTREL_SANITIZE=tsan ./test.sh   ThreadSanitizer
#   ./test.sh --deps-only     only install what is missing (used by demo.sh)
#   ./test.sh --build-only    install and build, do not run the tests
# After the Linux build and its tests, the core and its tests are cross-built for Windows
# (mingw-w64, in ${BUILD_DIR}-win) and run under wine. SENTREL_SKIP_WINDOWS=1 leaves that
# part out (and its packages uninstalled); sanitizer runs always leave it out.
set -euo pipefail
cd "$(dirname "$0")"

MODE="${1:-}"
case "$MODE" in
  ""|--deps-only|--build-only) ;;
  *) echo "usage: $0 [--deps-only|--build-only]"; exit 2 ;;
esac

# python3: the track tests read the GPX export back with its XML parser.
# Real package names only: a name that is merely provided by another package (such as
# libqt6svg6-dev) never shows as installed and would send every run to apt-get.
PACKAGES=(build-essential cmake pkg-config qt6-base-dev qt6-base-dev-tools qt6-svg-dev
          libgl1-mesa-dev libsdl2-dev libsqlite3-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
          xvfb xauth fonts-dejavu-core desktop-file-utils qt6-translations-l10n lintian python3)
SANITIZE="${SENTREL_SANITIZE:-}"
WINDOWS=1
if [ "${SENTREL_SKIP_WINDOWS:-}" = 1 ] || [ -n "$SANITIZE" ]; then
  WINDOWS=0
fi
# The posix-thread compiler variant (std::thread, std::mutex); /usr/bin/wine comes with
# "wine", the 64-bit loader with "wine64". GoogleTest's sources (googletest) are listed above.
[ "$WINDOWS" = 1 ] && PACKAGES+=(g++-mingw-w64-x86-64-posix wine wine64)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
[ "$MODE" = --deps-only ] && exit 0

BUILD_DIR="${SENTREL_BUILD_DIR:-build${SANITIZE:+-$SANITIZE}}"
CMAKE_ARGS=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSENTREL_BUILD_UI=ON)
case "$SANITIZE" in
  asan) CMAKE_ARGS+=(-DSENTREL_ASAN=ON -DSENTREL_BUILD_BENCH=OFF) ;;
  tsan) CMAKE_ARGS+=(-DSENTREL_TSAN=ON -DSENTREL_BUILD_BENCH=OFF) ;;
  "") ;;
  *) echo "unknown SENTREL_SANITIZE=$SANITIZE (use asan or tsan)"; exit 2 ;;
esac

JOBS="$(nproc 2>/dev/null || echo 2)"
cmake -S . -B "$BUILD_DIR" "${CMAKE_ARGS[@]}"
cmake --build "$BUILD_DIR" -j "$JOBS"
WIN_BUILD_DIR="$BUILD_DIR-win"
if [ "$WINDOWS" = 1 ]; then
  # -O2, not Release's -O3: at -O3 the cross GCC 12 reports false -Wrestrict overlaps in
  # std::string; no debug information keeps the static test program small and quick to link.
  WIN_ARGS=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release
            "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG")
  command -v ccache >/dev/null && WIN_ARGS+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$WIN_BUILD_DIR" "${WIN_ARGS[@]}"
  cmake --build "$WIN_BUILD_DIR" -j "$JOBS"
fi
[ "$MODE" = --build-only ] && exit 0
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
if [ "$SANITIZE" = tsan ]; then
  # die_after_fork=0: some window tests start a copy of the program as a child process.
  export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$PWD/tests/tsan.supp"
fi
if [ "$SANITIZE" = asan ]; then
  export ASAN_OPTIONS="detect_leaks=1" LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
  export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1"
fi
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS"
if [ "$WINDOWS" = 1 ]; then
  # One test: the whole Windows test program under wine (cmake/wine-run.sh makes the wine
  # prefix inside the build folder the first time).
  ctest --test-dir "$WIN_BUILD_DIR" --output-on-failure
fi

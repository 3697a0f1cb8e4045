#!/usr/bin/env bash
# Installs what is missing (Debian 12, as root), builds from scratch and runs every test.
#   ./test.sh                 ordinary build
#   SENTREL_SANITIZE=asan ./test.sh   AddressSanitizer + UBSan
#   SENTREL_SANITIZE=tsan ./test.sh   ThreadSanitizer
#   ./test.sh --deps-only     only install what is missing (used by demo.sh)
#   ./test.sh --build-only    install and build, do not run the tests
set -euo pipefail
cd "$(dirname "$0")"

MODE="${1:-}"
case "$MODE" in
  ""|--deps-only|--build-only) ;;
  *) echo "usage: $0 [--deps-only|--build-only]"; exit 2 ;;
esac

# Real package names only: a name that is merely provided by another package (such as
# libqt6svg6-dev) never shows as installed and would send every run to apt-get.
PACKAGES=(build-essential cmake pkg-config qt6-base-dev qt6-base-dev-tools qt6-svg-dev
          libgl1-mesa-dev libsdl2-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
          xvfb xauth fonts-dejavu-core desktop-file-utils)
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

SANITIZE="${SENTREL_SANITIZE:-}"
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

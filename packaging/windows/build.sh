#!/usr/bin/env bash
# Builds Sentrel for Windows (64-bit) on Debian 12 and its installer:
#   packaging/windows/build.sh [deps|window|app|installer|all]     (default: all)
#
#   deps       Qt 6 base (Core, Gui, Widgets, Network, Sql + SQLite driver, Test, the Windows
#              platform plugin), SDL2 and SQLite, cross-built with mingw-w64 from Debian's own
#              source packages of the versions installed on this machine. They go into a cache
#              folder outside the source tree and are built once: a finished step leaves a stamp
#              and is skipped the next time.
#   window     only the part of deps the program needs (Qt's Network and Sql come later);
#              "all" makes the program and the installer after it, then finishes deps.
#   app        sentrel.exe and the command-line tools, in the cache's app build folder.
#   installer  the program folder (exe, DLLs, plugins, sounds) and the NSIS installer
#              sentrel-<version>-win64-setup.exe, in ${SENTREL_WIN_OUT:-<source>/build-win-package}.
#
# Environment:
#   SENTREL_WIN_CACHE  cache folder (default /var/cache/sentrel-win as root, else
#                      ~/.cache/sentrel-win)
#   SENTREL_WIN_JOBS   parallel compile jobs (default 2); every compile runs under nice -n 19
#   SENTREL_WIN_OUT    where the program folder and the installer go
#   SENTREL_LINUX_BUILD  the Linux build whose sentrel-icons draws the program's icon
#                      (default <source>/build, as ./test.sh makes it)
#
# Not root: the packages must be there already (apt-get install needs root).
# The Debian sources are fetched with apt-get source through a sources list of this script's
# own (deb-src lines in the cache folder): the machine's apt configuration is left as it is.
# Each step's wall time is appended to <cache>/times.log.
set -euo pipefail

SOURCE_DIR="$(cd "$(dirname "$0")/../.." && pwd)"
if [ "$(id -u)" -eq 0 ]; then
  DEFAULT_CACHE=/var/cache/sentrel-win
else
  DEFAULT_CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/sentrel-win"
fi
CACHE="${SENTREL_WIN_CACHE:-$DEFAULT_CACHE}"
JOBS="${SENTREL_WIN_JOBS:-2}"
OUT="${SENTREL_WIN_OUT:-$SOURCE_DIR/build-win-package}"
WHAT="${1:-all}"
case "$WHAT" in
  deps|window|app|installer|all) ;;
  *) echo "usage: $0 [deps|window|app|installer|all]" >&2; exit 2 ;;
esac

# The versions of the Linux build: the cross build uses the same Qt as the host tools
# (moc, rcc, uic come from Debian's qt6-base-dev-tools through QT_HOST_PATH).
QT_VERSION=6.4.2+dfsg-10
SDL_VERSION=2.26.5+dfsg-1
SQLITE_VERSION=3.40.1-2+deb12u2

MINGW=x86_64-w64-mingw32
SRC="$CACHE/src"
PREFIX="$CACHE/prefix"        # SDL2 and SQLite for the target
QT_PREFIX="$CACHE/qt6"        # Qt for the target
STAMPS="$CACHE/stamps"
TOOLCHAIN="$SOURCE_DIR/cmake/mingw-w64-x86_64-qt.cmake"
NICE=(nice -n 19)

mkdir -p "$SRC" "$PREFIX" "$STAMPS"

log_time() { # step seconds
  printf '%s\t%s\t%ss\n' "$(date -u +%FT%TZ)" "$1" "$2" >>"$CACHE/times.log"
  echo "== $1: $2 s"
}

# Runs step NAME (function NAME) unless its stamp exists.
step() {
  local name="$1"
  if [ -f "$STAMPS/$name" ]; then
    echo "== $name: done before ($(cat "$STAMPS/$name"))"
    return
  fi
  echo "== $name"
  local start=$SECONDS
  "$name"
  local took=$((SECONDS - start))
  echo "${took}s on $(date -u +%F)" >"$STAMPS/$name"
  log_time "$name" "$took"
}

need_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

packages() {
  need_packages dpkg-dev g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix cmake ninja-build \
    qt6-base-dev qt6-base-dev-tools libsdl2-dev tcl nsis wine wine64 xvfb xauth
}

# apt-get with a private list of deb-src lines: nothing under /etc/apt is touched.
APT_DIR="$CACHE/apt"
private_apt() {
  apt-get -o Dir::Etc::SourceList="$APT_DIR/sources.list" -o Dir::Etc::SourceParts=/nonexistent \
    -o Dir::State::Lists="$APT_DIR/lists" -o Dir::Cache="$APT_DIR/cache" \
    -o APT::Sandbox::User=root "$@"
}

sources() {
  mkdir -p "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial"
  local key=/usr/share/keyrings/debian-archive-keyring.gpg
  {
    echo "deb-src [signed-by=$key] http://deb.debian.org/debian bookworm main"
    echo "deb-src [signed-by=$key] http://deb.debian.org/debian bookworm-updates main"
  } >"$APT_DIR/sources.list"
  private_apt update
  (cd "$SRC" && private_apt source --download-only "qt6-base=$QT_VERSION" "libsdl2=$SDL_VERSION" \
    "sqlite3=$SQLITE_VERSION")
  (cd "$SRC" && rm -rf qt6-base-* libsdl2-* sqlite3-* \
    && for dsc in ./*.dsc; do dpkg-source --no-check -x "$dsc" >/dev/null; done)
  # Fresh sources need the stand-ins again.
  rm -f "$STAMPS/qt_patch"
}

# SQLite for Qt's SQLite driver: Debian's qt6-base source leaves the bundled copy out, so the
# driver is built against this one (Debian's sqlite3 source, amalgamated on the host).
sqlite() {
  local dir="$SRC/sqlite3-${SQLITE_VERSION%%-*}" b="$CACHE/build/sqlite"
  rm -rf "$b" && mkdir -p "$b"
  (cd "$b" && "$dir/configure" --disable-tcl >/dev/null && "${NICE[@]}" make sqlite3.c >/dev/null)
  "${NICE[@]}" $MINGW-gcc-posix -O2 -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_THREADSAFE=1 \
    -c "$b/sqlite3.c" -o "$b/sqlite3.o"
  mkdir -p "$PREFIX/lib" "$PREFIX/include"
  rm -f "$PREFIX/lib/libsqlite3.a"
  $MINGW-ar rcs "$PREFIX/lib/libsqlite3.a" "$b/sqlite3.o"
  cp "$b/sqlite3.h" "$dir/src/sqlite3ext.h" "$PREFIX/include/" 2>/dev/null \
    || cp "$b/sqlite3.h" "$PREFIX/include/"
}

sdl2() {
  local dir="$SRC/libsdl2-${SDL_VERSION%%-*}" b="$CACHE/build/sdl2"
  "${NICE[@]}" cmake -G Ninja -S "$dir" -B "$b" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=OFF
  "${NICE[@]}" cmake --build "$b" -j "$JOBS"
  cmake --install "$b"
}

# Debian's qt6-base source leaves out Wacom's Wintab headers (src/3rdparty/wintab: their
# licence does not allow changes), which the Windows platform plugin includes. A stand-in
# header with the few names Qt's tablet header uses, and a stub for the Wintab part of the
# plugin: no Wintab tablets then; pens work through Windows Ink as before.
qt_patch() {
  local dir="$SRC/qt6-base-${QT_VERSION%%-*}"
  mkdir -p "$dir/src/3rdparty/wintab"
  cp "$SOURCE_DIR/packaging/windows/qt-wintab/wintab.h" "$dir/src/3rdparty/wintab/"
  cp "$SOURCE_DIR/packaging/windows/qt-wintab/qwindowstabletsupport.cpp" \
    "$dir/src/plugins/platforms/windows/qwindowstabletsupport.cpp"
  # Qt 6.4 keeps "dynamicgl" on when OpenGL is off, and the window code then reaches for
  # the OpenGL context classes; without OpenGL it must take the plain branch.
  sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
    "$dir/src/plugins/platforms/windows/qwindowswindow.cpp"
  # Gui builds its DirectWrite font database only together with Direct2D (left out here),
  # but the plugin asks for it whenever DirectWrite 3 is there: it must take the GDI one.
  sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
    "$dir/src/plugins/platforms/windows/qwindowsintegration.cpp"
}

qt_configure() {
  local dir="$SRC/qt6-base-${QT_VERSION%%-*}" b="$CACHE/build/qtbase"
  rm -f "$b/CMakeCache.txt"
  # -O1: a third less compile time than -O2 on a 2-core machine, and the window's speed does
  # not hinge on Qt's inner loops. Only what the window needs; the third-party libraries bundled with Qt's source where
  # Debian's package keeps them (zlib, PCRE2, libpng, double-conversion), SQLite from above.
  "${NICE[@]}" cmake -G Ninja -S "$dir" -B "$b" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DSENTREL_WIN_PREFIXES="$PREFIX" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$QT_PREFIX" \
    "-DCMAKE_C_FLAGS_RELEASE=-O1 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -DNDEBUG" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DBUILD_SHARED_LIBS=ON -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_openssl=OFF -DFEATURE_zstd=OFF \
    -DFEATURE_brotli=OFF -DFEATURE_jpeg=OFF -DFEATURE_freetype=OFF -DFEATURE_harfbuzz=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_doubleconversion=OFF -DFEATURE_sql=ON -DFEATURE_sql_sqlite=ON \
    -DFEATURE_system_sqlite=ON -DSQLite3_INCLUDE_DIR="$PREFIX/include" \
    -DSQLite3_LIBRARY="$PREFIX/lib/libsqlite3.a" \
    -DFEATURE_sql_odbc=OFF -DFEATURE_sql_psql=OFF -DFEATURE_sql_mysql=OFF \
    -DFEATURE_sql_ibase=OFF -DFEATURE_sql_oci=OFF -DFEATURE_sql_db2=OFF \
    -DFEATURE_sql_mimer=OFF -DFEATURE_androiddeployqt=OFF \
    -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF \
    -DFEATURE_textodfwriter=OFF -DFEATURE_pdf=OFF -DFEATURE_mdiarea=OFF -DFEATURE_dial=OFF \
    -DFEATURE_lcdnumber=OFF -DFEATURE_wizard=OFF -DFEATURE_undoview=OFF -DFEATURE_undogroup=OFF \
    -DFEATURE_undostack=OFF -DFEATURE_keysequenceedit=OFF -DFEATURE_splashscreen=OFF \
    -DFEATURE_commandlinkbutton=OFF -DFEATURE_fontcombobox=OFF -DFEATURE_sessionmanager=OFF \
    -DFEATURE_direct2d=OFF
}

# What the program needs comes first, installed on its own, so that the program and its
# installer can be made while the rest of Qt (Network, Sql) is still being compiled.
QT_WINDOW_TARGETS=(Core Gui Widgets Test EntryPointImplementation QWindowsIntegrationPlugin
                   QWindowsVistaStylePlugin QMinimalIntegrationPlugin QICOPlugin QGifPlugin)
qt_build_window() {
  "${NICE[@]}" cmake --build "$CACHE/build/qtbase" -j "$JOBS" --target "${QT_WINDOW_TARGETS[@]}"
}

# Every folder's own install script, each on its own (CMAKE_INSTALL_LOCAL_ONLY): those of
# the parts not built yet fail and are listed; qt_install later installs everything.
qt_install_window() {
  local script failed=()
  while read -r script; do
    cmake -DCMAKE_INSTALL_LOCAL_ONLY=1 -P "$script" >/dev/null 2>&1 ||
      failed+=("$(dirname "${script#"$CACHE"/build/qtbase/}")")
  done < <(find "$CACHE/build/qtbase" -name cmake_install.cmake | sort)
  # (Folders of parts that an earlier configure run had and this one has not, such as the
  # Direct2D plugin, fail here too: the full install later does not know them at all.)
  echo "not installed yet (built later): ${failed[*]:-none}"
  # A plugin whose package file went in without its targets (its folder's script failed
  # half-way) would stop every find_package(Qt6 ...): such files wait for qt_install.
  local config
  for config in "$QT_PREFIX"/lib/cmake/Qt6*/Qt6*PluginConfig.cmake; do
    [ -f "${config%Config.cmake}Targets.cmake" ] || rm -f "${config%Config.cmake}"*.cmake
  done
}

qt_build() {
  "${NICE[@]}" cmake --build "$CACHE/build/qtbase" -j "$JOBS"
}

qt_install() {
  cmake --install "$CACHE/build/qtbase"
}

APP_BUILD="$CACHE/build/sentrel"
app() {
  "${NICE[@]}" cmake -G Ninja -S "$SOURCE_DIR" -B "$APP_BUILD" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DSENTREL_WIN_PREFIXES="$QT_PREFIX;$PREFIX" -DCMAKE_PREFIX_PATH="$QT_PREFIX;$PREFIX" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" \
    -DSENTREL_BUILD_UI=ON -DSENTREL_WITH_AUDIO=ON -DSENTREL_WITH_TRACKS=ON -DSENTREL_BUILD_TOOLS=ON \
    -DSENTREL_BUILD_BENCH=OFF
  "${NICE[@]}" cmake --build "$APP_BUILD" -j "$JOBS" --target sentrel sentrel-feed sentrel-wavgen \
    sentrel-demo-setup sentrel-icons
}

installer() {
  bash "$SOURCE_DIR/packaging/windows/make-installer.sh" "$APP_BUILD" "$QT_PREFIX" "$PREFIX" "$OUT"
}

deps_window() {
  step packages
  step sources
  step sqlite
  step sdl2
  step qt_patch
  QT_CONFIGURE_FLAGS_HASH="$(sed -n '/^qt_configure()/,/^}/p' "$0" | md5sum | cut -c1-12)"
  # A change of the configure flags configures again (and rebuilds what it touches).
  if [ -f "$STAMPS/qt_configure" ] && ! grep -q "$QT_CONFIGURE_FLAGS_HASH" "$STAMPS/qt_configure"; then
    rm -f "$STAMPS"/qt_*
  fi
  step qt_configure
  grep -q "$QT_CONFIGURE_FLAGS_HASH" "$STAMPS/qt_configure" ||
    echo "flags $QT_CONFIGURE_FLAGS_HASH" >>"$STAMPS/qt_configure"
  step qt_build_window
  [ -f "$STAMPS/qt_install" ] || step qt_install_window
}
deps_rest() {
  step qt_build
  step qt_install
}
timed() {
  local start=$SECONDS
  "$1"
  log_time "$1" $((SECONDS - start))
}

case "$WHAT" in
  deps) deps_window; deps_rest ;;
  window) deps_window ;;
  app) timed app ;;
  installer) timed installer ;;
  all) deps_window; timed app; timed installer; deps_rest ;;
esac

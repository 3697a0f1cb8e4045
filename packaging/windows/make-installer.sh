#!/usr/bin/env bash
# Assembles the Windows program folder and its NSIS installer (called by build.sh):
#   make-installer.sh APP_BUILD QT_PREFIX DEP_PREFIX OUT
# OUT/Sentrel/   sentrel.exe, the DLLs it needs (found by reading the import tables),
#                Qt's Windows platform, style and TLS plugins, qt.conf, Qt's Russian texts
#                (translations/qtbase_ru.qm), sentrel.ico, Sounds/*.wav
# OUT/sentrel-<version>-win64-setup.exe
set -euo pipefail
APP_BUILD="$1" QT_PREFIX="$2" DEP_PREFIX="$3" OUT="$4"
HERE="$(cd "$(dirname "$0")" && pwd)"
SOURCE_DIR="$(cd "$HERE/../.." && pwd)"
MINGW=x86_64-w64-mingw32
VERSION="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$APP_BUILD/CMakeCache.txt")"
STAGE="$OUT/Sentrel"
rm -rf "$STAGE"
mkdir -p "$STAGE/platforms" "$STAGE/styles" "$STAGE/Sounds"

cp "$APP_BUILD/src/app/sentrel.exe" "$STAGE/"
$MINGW-strip "$STAGE/sentrel.exe"
cp "$QT_PREFIX/plugins/platforms/qwindows.dll" "$STAGE/platforms/"
if [ -f "$QT_PREFIX/plugins/styles/qwindowsvistastyle.dll" ]; then
  cp "$QT_PREFIX/plugins/styles/qwindowsvistastyle.dll" "$STAGE/styles/"
fi
# TLS through Windows' own Schannel, for the map's tile servers on https.
if [ -f "$QT_PREFIX/plugins/tls/qschannelbackend.dll" ]; then
  mkdir -p "$STAGE/tls"
  cp "$QT_PREFIX/plugins/tls/qschannelbackend.dll" "$STAGE/tls/"
fi
# Qt's own texts (file dialogs, standard buttons) in Russian: Debian's translation of the
# same Qt release, found under the prefix's translations folder.
QM=/usr/share/qt6/translations/qtbase_ru.qm
if [ ! -f "$QM" ]; then
  apt-get install -y --no-install-recommends qt6-translations-l10n
fi
mkdir -p "$STAGE/translations"
cp "$QM" "$STAGE/translations/"
# Plugins, DLLs and translations are looked up beside the program, wherever it is installed.
printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\n' >"$STAGE/qt.conf"

# Every DLL that the program and the plugins import, found in Qt's, SDL2's and the
# compiler's folders; system DLLs (KERNEL32, USER32, ...) are in none of them and stay out.
GCC_DIR="$(dirname "$($MINGW-g++-posix -print-libgcc-file-name)")"
SEARCH=("$QT_PREFIX/bin" "$DEP_PREFIX/bin" "$GCC_DIR" "/usr/$MINGW/lib")
imports() { $MINGW-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
find_dll() {
  local d
  for d in "${SEARCH[@]}"; do
    local hit
    hit="$(find "$d" -maxdepth 1 -iname "$1" -print -quit 2>/dev/null)"
    [ -n "$hit" ] && { echo "$hit"; return 0; }
  done
  return 0
}
queue=("$STAGE/sentrel.exe" "$STAGE"/platforms/*.dll "$STAGE"/styles/*.dll)
[ -d "$STAGE/tls" ] && queue+=("$STAGE"/tls/*.dll)
declare -A seen=()
while [ ${#queue[@]} -gt 0 ]; do
  file="${queue[0]}"
  queue=("${queue[@]:1}")
  for dll in $(imports "$file"); do
    key="${dll,,}"
    [ -n "${seen[$key]:-}" ] && continue
    seen[$key]=1
    path="$(find_dll "$dll")"
    [ -z "$path" ] && continue
    cp "$path" "$STAGE/"
    queue+=("$STAGE/$(basename "$path")")
  done
done
$MINGW-strip "$STAGE"/*.dll "$STAGE"/platforms/*.dll "$STAGE"/styles/*.dll "$STAGE"/tls/*.dll \
  2>/dev/null || true

# The default alert sounds, made by the program's own tool under wine.
wpath() { echo "Z:${1//\//\\}"; }
export WINEPREFIX="${WINEPREFIX:-$APP_BUILD/wine-prefix}"
export WINEPATH="$(wpath "$STAGE")"
wine_run() { bash "$SOURCE_DIR/cmake/wine-run.sh" "$@"; }
wine_run "$APP_BUILD/tools/sentrel-wavgen.exe" --out "$(wpath "$STAGE/Sounds")"

# The icon: the application's picture as the program draws it, rendered by sentrel-icons of
# the Linux build (LINUX_BUILD: SENTREL_LINUX_BUILD, default <source>/build) into PNGs and
# packed into one .ico. (The Windows sentrel-icons.exe does not get past Qt's start-up
# under wine on this machine, so the Linux one draws.)
LINUX_BUILD="${SENTREL_LINUX_BUILD:-$SOURCE_DIR/build}"
ICONS="$OUT/icons"
rm -rf "$ICONS"
mkdir -p "$ICONS"
if [ -x "$LINUX_BUILD/tools/sentrel-icons" ]; then
  QT_QPA_PLATFORM=offscreen "$LINUX_BUILD/tools/sentrel-icons" "$ICONS" 16 24 32 48 64 256
  python3 "$HERE/png2ico.py" "$STAGE/sentrel.ico" \
    "$ICONS"/{16x16,24x24,32x32,48x48,64x64,256x256}/apps/sentrel.png
else
  echo "make-installer: no $LINUX_BUILD/tools/sentrel-icons: NSIS's own icon is used" >&2
fi

# The uninstaller deletes exactly the files installed here.
FILELIST="$OUT/files.nsh"
(cd "$STAGE" && find . -type f ! -path './Sounds/*' | sed 's|^\./||; s|/|\\|g' | sort |
  sed 's|^|  Delete "$INSTDIR\\|; s|$|"|') >"$FILELIST"
(cd "$STAGE" && find . -mindepth 1 -type d ! -name Sounds | sed 's|^\./||; s|/|\\|g' | sort -r |
  sed 's|^|  RMDir "$INSTDIR\\|; s|$|"|') >>"$FILELIST"

SETUP="$OUT/sentrel-$VERSION-win64-setup.exe"
makensis -V2 -DVERSION="$VERSION" -DSTAGE="$STAGE" -DOUTFILE="$SETUP" -DFILELIST="$FILELIST" \
  "$HERE/sentrel.nsi"
ls -l "$SETUP"

#!/usr/bin/env bash
# Builds the .deb and the .tar.gz from a finished build folder and checks what they
# install: the files and their places, the desktop entry, the icons, the package's
# dependencies, and that the installed launcher starts the program from a per-user
# folder it can write.
#   check_package.sh BUILD_DIR
set -euo pipefail
BUILD_DIR="$(cd "$1" && pwd)"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/sentrel-package.XXXXXX")"
APP_PID=""
cleanup() {
  [ -n "$APP_PID" ] && kill -KILL "$APP_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$BUILD_DIR/CPackConfig.cmake" -G "DEB;TGZ" -B "$WORK/out" >"$WORK/cpack.log" 2>&1 ||
  { cat "$WORK/cpack.log" >&2; fail "cpack"; }
DEB="$(ls "$WORK"/out/sentrel_*.deb)"
TGZ="$(ls "$WORK"/out/sentrel-*.tar.gz)"

SIZES=(16 22 24 32 48 64 128 256)
EXPECTED=(usr/bin/sentrel usr/lib/sentrel/sentrel usr/share/applications/sentrel.desktop)
for name in Alarm PowerOn Destination Forbidden; do
  EXPECTED+=("usr/lib/sentrel/Sounds/$name.wav")
done
for size in "${SIZES[@]}"; do
  EXPECTED+=("usr/share/icons/hicolor/${size}x${size}/apps/sentrel.png")
done
# What makes it read like a Debian package: copyright, changelog, manual pages, the guide.
EXPECTED+=(usr/share/doc/sentrel/copyright usr/share/doc/sentrel/changelog.gz
           usr/share/man/man1/sentrel.1.gz usr/share/man/ru/man1/sentrel.1.gz
           usr/share/doc/sentrel/ru/guide.md)

# --- the .deb: contents, control fields --------------------------------------------------
dpkg-deb --contents "$DEB" | awk '{print $NF}' | sed 's|^\./||' >"$WORK/deb.list"
for path in "${EXPECTED[@]}"; do
  grep -qx "$path" "$WORK/deb.list" || fail "$path missing from the .deb"
done
dpkg-deb --contents "$DEB" | grep -E ' \./usr/(bin|lib/sentrel)/sentrel$' |
  grep -v '^-rwxr-xr-x' && fail "launcher or program is not executable"
depends="$(dpkg-deb -f "$DEB" Depends)"
for dep in libqt6widgets6 libsdl2 libsqlite3-0 qt6-qpa-plugins qt6-translations-l10n; do
  [[ "$depends" == *"$dep"* ]] || fail "Depends lacks $dep: $depends"
done

# No lintian errors (and no warnings either, as it stands).
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$DEB" || fail "lintian"
fi
maintainer="$(dpkg-deb -f "$DEB" Maintainer)"
[[ "$maintainer" == *@localhost* ]] && fail "maintainer address on localhost: $maintainer"

ROOT="$WORK/root"
dpkg-deb -x "$DEB" "$ROOT"

# --- documentation ------------------------------------------------------------------------
gzip -t "$ROOT/usr/share/doc/sentrel/changelog.gz" || fail "changelog.gz"
zcat "$ROOT/usr/share/doc/sentrel/changelog.gz" | head -1 |
  grep -q "^sentrel ($(dpkg-deb -f "$DEB" Version))" || fail "changelog does not start with this version"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$ROOT/usr/share/doc/sentrel/copyright" || fail "copyright is not machine-readable"
if command -v man >/dev/null; then
  man -l "$ROOT/usr/share/man/man1/sentrel.1.gz" 2>/dev/null | grep -q 'sentrel - dispatcher' ||
    fail "manual page"
fi
# Every picture the guide shows is in the package.
for picture in $(grep -o '](\.\./screenshots/[^)]*)\|](icons/[^)]*)' "$ROOT/usr/share/doc/sentrel/ru/guide.md" |
                 sed 's/^](//; s/)$//'); do
  [ -f "$ROOT/usr/share/doc/sentrel/ru/$picture" ] || fail "guide picture $picture missing"
done

# --- desktop entry -----------------------------------------------------------------------
DESKTOP="$ROOT/usr/share/applications/sentrel.desktop"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$DESKTOP" || fail "desktop-file-validate"
fi
key() { sed -n "s/^$1=//p" "$DESKTOP"; }
[ "$(key 'Type')" = Application ] || fail "Type"
[ "$(key 'Exec')" = sentrel ] || fail "Exec"
[ "$(key 'Icon')" = sentrel ] || fail "Icon"
[ "$(key 'Name')" = Sentrel ] || fail "Name"
[ "$(key 'Name\[ru\]')" = "Диспетчерская консоль Sentrel" ] || fail "Name[ru]"
[ -n "$(key 'Comment\[ru\]')" ] || fail "Comment[ru] missing"
# The Russian comment is Cyrillic text in UTF-8 (every Cyrillic letter starts with D0 or D1).
key 'Comment\[ru\]' | LC_ALL=C grep -q $'[\xd0\xd1]' || fail "Comment[ru] is not Russian"
# Exec and Icon resolve inside the installed tree.
[ -x "$ROOT/usr/bin/$(key Exec)" ] || fail "Exec does not name the launcher"

# --- icons: real PNGs of the size their folder says -------------------------------------
be32() { od -An -tu1 -j "$2" -N4 "$1" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}'; }
for size in "${SIZES[@]}"; do
  png="$ROOT/usr/share/icons/hicolor/${size}x${size}/apps/sentrel.png"
  [ "$(od -An -tx1 -N8 "$png" | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$png is not a PNG"
  [ "$(be32 "$png" 16)" = "$size" ] && [ "$(be32 "$png" 20)" = "$size" ] ||
    fail "$png is $(be32 "$png" 16)x$(be32 "$png" 20)"
done
# The picture is drawn, not empty: the 48 px icon holds more than a few hundred bytes.
[ "$(stat -c %s "$ROOT/usr/share/icons/hicolor/48x48/apps/sentrel.png")" -gt 500 ] ||
  fail "48 px icon looks empty"

# --- the program's libraries are all found ----------------------------------------------
if ldd "$ROOT/usr/lib/sentrel/sentrel" | grep 'not found'; then
  fail "unresolved libraries"
fi

# --- the .tar.gz holds the same tree -----------------------------------------------------
# It unpacks into one top folder; its contents go under any prefix (/usr/local, ~/.local).
tar -tzf "$TGZ" | sed -n 's|^[^/]*/||p' | grep -v '/$' | grep -v '^$' | sort >"$WORK/tgz.list"
sed -n 's|^usr/||p' "$WORK/deb.list" | grep -v '/$' | grep -v '^$' | sort >"$WORK/deb-rel.list"
diff -u "$WORK/deb-rel.list" "$WORK/tgz.list" || fail ".tar.gz and .deb differ"

# --- first start through the launcher, offscreen ----------------------------------------
# A fresh home: the launcher makes ~/.local/share/sentrel, copies the program there and
# starts it; the program writes its default Sentrel.ini there (the installed folder stays
# untouched). Without an address book it then waits in its "cannot find" message box; a
# SIGTERM ends it.
export HOME="$WORK/home" TMPDIR="$WORK" QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
unset XDG_DATA_HOME
mkdir -p "$HOME"
installed_tree() { find "$ROOT/usr/lib/sentrel" -printf '%p %s %T@\n' | sort; }
installed_tree >"$WORK/installed.before"
FOLDER="$HOME/.local/share/sentrel"
"$ROOT/usr/bin/sentrel" >"$WORK/app.out" 2>&1 &
APP_PID=$!
for _ in $(seq 1 100); do
  [ -s "$FOLDER/Sentrel.ini" ] && break
  kill -0 "$APP_PID" 2>/dev/null || { cat "$WORK/app.out" >&2; fail "the program ended at start"; }
  sleep 0.1
done
[ -s "$FOLDER/Sentrel.ini" ] || { cat "$WORK/app.out" >&2; fail "no Sentrel.ini in $FOLDER"; }
sleep 1
kill -0 "$APP_PID" 2>/dev/null || { cat "$WORK/app.out" >&2; fail "the program did not keep running"; }
cmp -s "$ROOT/usr/lib/sentrel/sentrel" "$FOLDER/sentrel" || fail "per-user copy differs"
[ "$(readlink -f "/proc/$APP_PID/exe")" = "$(readlink -f "$FOLDER/sentrel")" ] ||
  fail "the program does not run from $FOLDER"
for name in Alarm PowerOn Destination Forbidden; do
  cmp -s "$ROOT/usr/lib/sentrel/Sounds/$name.wav" "$FOLDER/Sounds/$name.wav" || fail "$name.wav"
done
installed_tree | diff -u "$WORK/installed.before" - || fail "the installed folder changed"
kill -TERM "$APP_PID"
for _ in $(seq 1 50); do
  kill -0 "$APP_PID" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$APP_PID" 2>/dev/null && fail "the program did not end on SIGTERM"
APP_PID=""

# --- later starts: the user's files are kept, an upgraded program replaces the copy ------
# A stand-in program that reports the folder it runs from.
printf 'edited\r\n' >"$FOLDER/Sentrel.ini"
printf 'my sound' >"$FOLDER/Sounds/Alarm.wav"
rm "$FOLDER/Sounds/Forbidden.wav"
printf '#!/bin/sh\necho "upgraded in $(dirname "$0")"\n' >"$ROOT/usr/lib/sentrel/sentrel"
out="$("$ROOT/usr/bin/sentrel")"
[ "$out" = "upgraded in $FOLDER" ] || fail "upgraded program not started from $FOLDER: $out"
[ "$(cat "$FOLDER/Sentrel.ini")" = $'edited\r' ] || fail "Sentrel.ini overwritten"
[ "$(cat "$FOLDER/Sounds/Alarm.wav")" = "my sound" ] || fail "the user's Alarm.wav overwritten"
cmp -s "$ROOT/usr/lib/sentrel/Sounds/Forbidden.wav" "$FOLDER/Sounds/Forbidden.wav" ||
  fail "a missing sound was not restored"
# XDG_DATA_HOME, when set to an absolute folder, moves the program folder.
out="$(XDG_DATA_HOME="$WORK/xdg" "$ROOT/usr/bin/sentrel")"
[ "$out" = "upgraded in $WORK/xdg/sentrel" ] || fail "XDG_DATA_HOME ignored: $out"
echo "package checks passed: $(basename "$DEB"), $(basename "$TGZ")"

#!/usr/bin/env bash
# Tries the Windows installer as a dispatcher would, under wine on a virtual X screen:
#   packaging/windows/test-wine.sh [LINUX_BUILD]
#
# 1. The installer runs silently (/S) into a fresh wine prefix: program folder, Start-menu
#    entry and uninstaller are there.
# 2. The installed sentrel.exe, set up with the demo data, starts and shows its window
#    (a screenshot is written to OUT/windows-installed.png).
# 3. The same inbox files are dropped into the inbox of the Windows program and into that of
#    the Linux program (LINUX_BUILD/src/app/sentrel, default build/), round by round, one file
#    per vehicle a round; the data files both write (Snt*.dat) must be byte-identical.
# 4. A second start of sentrel.exe: it must not open a second window; whether it brings the
#    running window forward is reported.
# 5. The silent uninstaller removes the program and keeps the dispatcher's data.
# Needs: build.sh (deps, app, installer) done; the Linux build of sentrel, sentrel-feed and
# sentrel-demo-setup; wine, Xvfb, xdotool, imagemagick (import).
# Environment: SENTREL_WIN_CACHE and SENTREL_WIN_OUT as for build.sh.
set -euo pipefail
SOURCE_DIR="$(cd "$(dirname "$0")/../.." && pwd)"
LINUX_BUILD="$(cd "${1:-$SOURCE_DIR/build}" && pwd)"
if [ "$(id -u)" -eq 0 ]; then DEFAULT_CACHE=/var/cache/sentrel-win; else
  DEFAULT_CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/sentrel-win"; fi
CACHE="${SENTREL_WIN_CACHE:-$DEFAULT_CACHE}"
OUT="${SENTREL_WIN_OUT:-$SOURCE_DIR/build-win-package}"
APP_BUILD="$CACHE/build/sentrel"
SETUP="$(ls "$OUT"/sentrel-*-win64-setup.exe | head -1)"

WORK="$(mktemp -d "${TMPDIR:-/tmp}/sentrel-wine.XXXXXX")"
XVFB_PID="" LIN_PID="" WIN_PID=""
cleanup() {
  [ -n "$LIN_PID" ] && kill "$LIN_PID" 2>/dev/null
  [ -n "$WIN_PID" ] && kill "$WIN_PID" 2>/dev/null
  WINEPREFIX="$WORK/prefix" wineserver -k 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  [ "${KEEP_WORK:-}" = 1 ] && echo "work folder kept: $WORK" || rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "== $*"; }
elapsed() { echo $((SECONDS - $1)); }

# --- a wine prefix and a screen of their own -----------------------------------------
export WINEPREFIX="$WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
  SDL_AUDIODRIVER=dummy
for n in $(seq 90 120); do [ -e "/tmp/.X$n-lock" ] || { DISPLAY_NUMBER=$n; break; }; done
Xvfb ":$DISPLAY_NUMBER" -screen 0 1280x800x24 -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
export DISPLAY=":$DISPLAY_NUMBER"
sleep 1
t=$SECONDS
wineboot -i >/dev/null 2>&1 || true
wineserver -w
note "wine prefix made in $(elapsed $t) s"
wpath() { winepath -w "$1" 2>/dev/null; }

# --- 1. silent install ----------------------------------------------------------------
t=$SECONDS
wine "$SETUP" /S
wineserver -w
note "silent install: $(elapsed $t) s ($(stat -c %s "$SETUP") bytes installer)"
LOCALAPPDATA_UNIX="$(winepath -u "$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')")"
APPDATA_UNIX="$(winepath -u "$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')")"
PROGRAM="$LOCALAPPDATA_UNIX/Sentrel"
for f in sentrel.exe Uninstall.exe qt.conf platforms/qwindows.dll Qt6Core.dll Qt6Gui.dll \
         Qt6Widgets.dll SDL2.dll Sounds/Alarm.wav Sounds/PowerOn.wav Sounds/Destination.wav \
         Sounds/Forbidden.wav; do
  [ -f "$PROGRAM/$f" ] || fail "$f not installed in $PROGRAM"
done
LINK="$APPDATA_UNIX/Microsoft/Windows/Start Menu/Programs/Sentrel/Sentrel.lnk"
[ -f "$LINK" ] || fail "no Start-menu entry ($LINK)"
wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sentrel' \
  /v UninstallString >/dev/null 2>&1 || fail "no uninstall entry in the registry"
note "installed into $(wpath "$PROGRAM"): $(du -sh "$PROGRAM" | cut -f1)"

# --- the demo data on both sides --------------------------------------------------------
LIN="$WORK/linux"
mkdir -p "$LIN" "$WORK/win-inbox"
cp "$LINUX_BUILD/src/app/sentrel" "$LIN/sentrel"
"$LINUX_BUILD/tools/sentrel-demo-setup" --folder "$LIN" --inbox "$WORK/lin-inbox" \
  --addrbook "$SOURCE_DIR/demo/AddrBook.txt" --zones "$SOURCE_DIR/demo/maps.mrk" >/dev/null
WINEPATH="$(wpath "$PROGRAM")" wine "$APP_BUILD/tools/sentrel-demo-setup.exe" \
  --folder "$(wpath "$PROGRAM")" --inbox "$(wpath "$WORK/win-inbox")" \
  --addrbook "$(wpath "$SOURCE_DIR/demo/AddrBook.txt")" \
  --zones "$(wpath "$SOURCE_DIR/demo/maps.mrk")" >/dev/null
for f in SntSettings.dat SntSpec.dat; do
  cmp "$LIN/$f" "$PROGRAM/$f" || fail "$f of the demo set-up differs between the builds"
done

# --- 2. the installed program starts and shows its window -------------------------------
t=$SECONDS
(cd "$PROGRAM" && exec wine "$PROGRAM/sentrel.exe") >"$WORK/win.out" 2>&1 &
WIN_PID=$!
for _ in $(seq 1 120); do
  xdotool search --name '^Sentrel$' >/dev/null 2>&1 && break
  sleep 1
done
xdotool search --name '^Sentrel$' >/dev/null 2>&1 || { cat "$WORK/win.out"; fail "no window"; }
note "window shown $(elapsed $t) s after the start"
SENTREL_LOCK_FOLDER="$WORK" QT_QPA_PLATFORM=offscreen "$LIN/sentrel" >"$WORK/lin.out" 2>&1 &
LIN_PID=$!

# --- 3. the same inbox files on both sides, one per vehicle a round ----------------------
STAGING="$WORK/staging"
"$LINUX_BUILD/tools/sentrel-feed" --inbox "$STAGING" --addrbook "$SOURCE_DIR/demo/AddrBook.txt" \
  --zones "$SOURCE_DIR/demo/maps.mrk" --routes "$LIN" --objects 15 --rate 1000 --count 150 \
  --step-metres 400 --alarm-percent 5 --power-on-percent 5 --seed 7 >/dev/null
total=$(ls "$STAGING" | wc -l)
[ "$total" -gt 0 ] || fail "the feed wrote no inbox file"
wait_empty() {
  local dir="$1"
  for _ in $(seq 1 300); do
    [ -z "$(ls -A "$dir")" ] && return 0
    sleep 0.2
  done
  fail "inbox $dir not emptied: $(ls "$dir" | head)"
}
t=$SECONDS
round=0
while [ -n "$(ls -A "$STAGING")" ]; do
  round=$((round + 1))
  # The oldest file of every vehicle (names are DDHHMMSS.NNN, the extension the number).
  for ext in $(ls "$STAGING" | sed 's/.*\.//' | sort -u); do
    f="$(ls "$STAGING" | grep "\.$ext\$" | sort | head -1)"
    cp "$STAGING/$f" "$WORK/lin-inbox/$f.tmp" && mv "$WORK/lin-inbox/$f.tmp" "$WORK/lin-inbox/$f"
    cp "$STAGING/$f" "$WORK/win-inbox/$f.tmp" && mv "$WORK/win-inbox/$f.tmp" "$WORK/win-inbox/$f"
    rm "$STAGING/$f"
  done
  wait_empty "$WORK/lin-inbox"
  wait_empty "$WORK/win-inbox"
done
sleep 3
note "$total inbox files in $round rounds processed by both in $(elapsed $t) s"
different=0
# SntHistory.dat: while an object's newest visit is open (state digit 0 in its header),
# that entry's departure time holds the local time at which the visit began on this run,
# a placeholder that is never read back; it is the one field that depends on the clock.
history_without_open_departures() {
  python3 - "$1" <<'EOF_PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = 0
while at + 10 <= len(data):
    count, state = int(data[at + 6:at + 8]), data[at + 8:at + 9]
    entries = at + 10
    if state == b"0" and count > 0:
        newest = entries + 92 * (count - 1)
        data[newest + 80:newest + 92] = bytes(12)
    at = entries + 92 * count
sys.stdout.buffer.write(bytes(data))
EOF_PY
}
if cmp -s <(history_without_open_departures "$LIN/SntHistory.dat") \
          <(history_without_open_departures "$PROGRAM/SntHistory.dat"); then
  echo "   SntHistory.dat: identical but for the open visits' departure placeholders" \
    "($(cmp -l "$LIN/SntHistory.dat" "$PROGRAM/SntHistory.dat" | wc -l) bytes there)"
else
  echo "   SntHistory.dat: DIFFERENT beyond the open visits' departure placeholders"
  different=1
fi
for f in SntQMXMSG.dat SntSettings.dat SntSpec.dat; do
  if cmp -s "$LIN/$f" "$PROGRAM/$f"; then
    echo "   $f: identical ($(stat -c %s "$LIN/$f") bytes, sha256 $(sha256sum <"$LIN/$f" | cut -c1-16))"
  else
    echo "   $f: DIFFERENT ($(cmp "$LIN/$f" "$PROGRAM/$f" | head -1))"
    different=1
  fi
done
# The log's lines begin with the local time of processing and the inbox file's full path,
# which differ between the two; what processing made of each record must not.
outcomes() {
  iconv -f CP1251 -t UTF-8 "$1" | tr -d '\r' |
    grep -o '\(Обрабатывалось\|Не обрабатывалось\|Неизвестный ID\).*'
}
if diff <(outcomes "$LIN/Sentrel.log") <(outcomes "$PROGRAM/Sentrel.log") >"$WORK/log.diff"; then
  echo "   Sentrel.log: the same $(outcomes "$LIN/Sentrel.log" | wc -l) outcomes"
else
  head -6 "$WORK/log.diff"
  different=1
fi
[ "$different" = 0 ] || fail "data files differ between the Windows and the Linux build"

# The picture: the demo's own feed (demo/feed.args) into the Windows inbox for a while.
"$LINUX_BUILD/tools/sentrel-feed" $(cat "$SOURCE_DIR/demo/feed.args") --inbox "$WORK/win-inbox" \
  --addrbook "$SOURCE_DIR/demo/AddrBook.txt" --zones "$SOURCE_DIR/demo/maps.mrk" --routes "$LIN" \
  --duration "${SENTREL_SHOT_AFTER:-45}" >/dev/null 2>&1
sleep 2
SHOTS="${SENTREL_SHOTS_DIR:-$OUT}"
mkdir -p "$SHOTS"
import -window root "$SHOTS/windows-installed.png"
note "screenshot: $SHOTS/windows-installed.png"

# --- 4. a second start ----------------------------------------------------------------
before="$(xdotool search --name '^Sentrel$' | wc -l)"
t=$SECONDS
(cd "$PROGRAM" && timeout 60 wine "$PROGRAM/sentrel.exe") >"$WORK/second.out" 2>&1 &
SECOND=$!
ended=0
for _ in $(seq 1 60); do
  kill -0 "$SECOND" 2>/dev/null || { ended=1; break; }
  sleep 1
done
after="$(xdotool search --name '^Sentrel$' | wc -l)"
[ "$ended" = 1 ] || fail "the second copy did not end"
[ "$after" = "$before" ] || fail "the second copy opened a window ($before -> $after)"
kill -0 "$WIN_PID" 2>/dev/null || fail "the first copy ended"
active="$(xdotool getactivewindow getwindowname 2>/dev/null || true)"
note "second start ended after $(elapsed $t) s without a window of its own; active window" \
  "afterwards: '${active:-none}' (the running window is not brought forward)"

# --- an installer run while the program runs changes nothing -------------------------
stamp_before="$(stat -c %Y "$PROGRAM/sentrel.exe")"
set +e
wine "$SETUP" /S
setup_status=$?
set -e
[ "$setup_status" != 0 ] || fail "the installer went on while Sentrel was running"
[ "$(stat -c %Y "$PROGRAM/sentrel.exe")" = "$stamp_before" ] || fail "sentrel.exe replaced while running"
kill -0 "$WIN_PID" 2>/dev/null || fail "the installer ended the running program"
note "a silent install while Sentrel runs stops (exit status $setup_status) and changes nothing"

# --- the outside close request: WM_USER + 1 posted to the main window -------------------
cat >"$WORK/post-close.c" <<'EOF_C'
#include <windows.h>
int main(void) {
    HWND window = FindWindowW(NULL, L"Sentrel");
    if (window == NULL) return 2;
    return PostMessageW(window, WM_USER + 1, 0, 0) ? 0 : 1;
}
EOF_C
x86_64-w64-mingw32-gcc-posix -O2 -o "$WORK/post-close.exe" "$WORK/post-close.c" -luser32
t=$SECONDS
wine "$WORK/post-close.exe" || fail "no main window to send the close request to"
for _ in $(seq 1 30); do
  kill -0 "$WIN_PID" 2>/dev/null || break
  sleep 0.5
done
kill -0 "$WIN_PID" 2>/dev/null && fail "the close request (WM_USER + 1) did not end the program"
WIN_PID=""
note "closed by WM_USER + 1 in $(elapsed $t) s"

# --- 5. silent uninstall keeps the data ---------------------------------------------------
wineserver -k 2>/dev/null || true
t=$SECONDS
wine "$PROGRAM/Uninstall.exe" /S
wineserver -w
sleep 1
note "silent uninstall: $(elapsed $t) s"
[ -f "$PROGRAM/sentrel.exe" ] && fail "sentrel.exe left behind"
[ -f "$PROGRAM/Qt6Core.dll" ] && fail "Qt6Core.dll left behind"
[ -f "$LINK" ] && fail "Start-menu entry left behind"
for f in Sentrel.ini SntQMXMSG.dat SntHistory.dat SntSettings.dat SntSpec.dat Sounds/Alarm.wav; do
  [ -f "$PROGRAM/$f" ] || fail "the uninstaller removed the dispatcher's $f"
done
echo "wine checks passed: $(basename "$SETUP")"

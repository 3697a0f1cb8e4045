#!/usr/bin/env bash
# Runs Sentrel on the bundled demo: 15 vehicles in Yekaterinburg, fed with live messages.
#
#   ./demo.sh                 on a desktop (fresh Debian 12: run as root, installs what is missing)
#   xvfb-run -a ./demo.sh     without a display
#
# Installs what is missing (the package list of test.sh), builds Sentrel and the demo
# tools in build/, assembles a fresh program folder in build/demo-folder, starts the
# feed simulator in the background and Sentrel in front. Closing Sentrel stops the feed.
set -euo pipefail
cd "$(dirname "$0")"
ROOT="$PWD"

# The demo needs nothing of the Windows cross build (mingw-w64, wine).
SENTREL_SKIP_WINDOWS=1 ./test.sh --deps-only

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  cat >&2 <<'EOF'
demo.sh: there is no display ($DISPLAY and $WAYLAND_DISPLAY are empty), so Sentrel's
window cannot be shown. Run the demo on a virtual X server instead:

    xvfb-run -a ./demo.sh

(xvfb-run comes with the package xvfb, installed by ./test.sh --deps-only.) Its default
screen is 640x480; for a roomier one: xvfb-run -a -s "-screen 0 1280x800x24" ./demo.sh
EOF
  exit 2
fi

BUILD_DIR="${SENTREL_BUILD_DIR:-build}"
JOBS="$(nproc 2>/dev/null || echo 2)"
# The window is needed even when this build folder was configured without it.
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSENTREL_BUILD_UI=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" --target sentrel sentrel-feed sentrel-wavgen sentrel-demo-setup

# A fresh program folder on every run: the program folder is the executable's folder.
FOLDER="$ROOT/$BUILD_DIR/demo-folder"
rm -rf "$FOLDER"
mkdir -p "$FOLDER"
cp "$BUILD_DIR/src/app/sentrel" "$FOLDER/sentrel"
"$BUILD_DIR/tools/sentrel-wavgen" --out "$FOLDER/Sounds"
"$BUILD_DIR/tools/sentrel-demo-setup" --folder "$FOLDER" \
  --addrbook "$ROOT/demo/AddrBook.txt" --zones "$ROOT/demo/maps.mrk"

# Without a sound device SDL cannot play the alerts and Sentrel would report every one
# as an error; the disk driver "plays" them into a file instead.
if [ -z "${SDL_AUDIODRIVER:-}" ]; then
  RUNTIME_DIR="${XDG_RUNTIME_DIR:-/run/user/$(id -u)}"
  if [ ! -d /dev/snd ] && [ -z "${PULSE_SERVER:-}" ] && [ ! -S "$RUNTIME_DIR/pulse/native" ] \
     && [ ! -S "$RUNTIME_DIR/pipewire-0" ]; then
    export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$FOLDER/sound-output.raw"
    echo "demo.sh: no sound device found; alert sounds are written to $SDL_DISKAUDIOFILE"
  fi
fi

APP_PID=""
FEED_PID=""
cleanup() {
  trap - EXIT INT TERM
  [ -n "$APP_PID" ] && kill -TERM "$APP_PID" 2>/dev/null || true
  [ -n "$FEED_PID" ] && kill -TERM "$FEED_PID" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# shellcheck disable=SC2046  # the options file is a list of words
"$BUILD_DIR/tools/sentrel-feed" $(cat "$ROOT/demo/feed.args") \
  --inbox "$FOLDER/Inbox" --addrbook "$ROOT/demo/AddrBook.txt" --zones "$ROOT/demo/maps.mrk" \
  --routes "$FOLDER" --log "$FOLDER/feed.log" >"$FOLDER/feed.out" 2>&1 &
FEED_PID=$!

echo "demo.sh: Sentrel runs from $FOLDER; vehicle 118 falls silent after 30 s."
echo "demo.sh: close the window (or press Ctrl+C here) to end the demo."
STARTED=$SECONDS
if [ "${SDL_AUDIODRIVER:-}" = disk ]; then
  # SDL's disk driver announces itself on every sound; keep that out of the terminal.
  "$FOLDER/sentrel" 2>>"$FOLDER/sentrel.err" &
else
  "$FOLDER/sentrel" &
fi
APP_PID=$!
status=0
wait "$APP_PID" || status=$?
APP_PID=""
if [ $((SECONDS - STARTED)) -lt 3 ]; then
  echo "demo.sh: Sentrel ended at once (status $status). Only one copy runs at a time:" \
       "is another Sentrel open?" >&2
fi
exit "$status"

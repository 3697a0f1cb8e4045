#!/usr/bin/env bash
# Runs a Windows program under wine in a prefix of its own (made on first use):
#   WINEPREFIX defaults to wine-prefix/ beside the current build tree's CMakeCache.txt,
#   or to ./wine-prefix when run elsewhere.
set -euo pipefail
if [ -z "${WINEPREFIX:-}" ]; then
  dir="$PWD"
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir="$(dirname "$dir")"; done
  [ "$dir" = / ] && dir="$PWD"
  export WINEPREFIX="$dir/wine-prefix"
fi
export WINEDEBUG="${WINEDEBUG:--all}"
# No desktop integration, no Mono/Gecko prompts: a console prefix is all the tests need.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
exec wine "$@"

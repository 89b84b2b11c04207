#!/usr/bin/env bash
# wine-run.sh PREFIX --init      makes a fresh wine prefix (about 10 s)
# wine-run.sh PREFIX PROGRAM...  runs a 64-bit Windows program in it, on a private X server
#                                when DISPLAY is not set
set -euo pipefail
export WINEPREFIX=$1
shift
export WINEDEBUG=-all
# No Mono or Gecko: their installers would wait for a person.
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
if [ "$1" = --init ]; then
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot --init
  /usr/lib/wine/wineserver -w
  exit 0
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$WINEPREFIX" "$@"
fi
exec "$wine" "$@"

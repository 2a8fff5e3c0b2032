#!/usr/bin/env bash
# Takes a PNG screenshot of Tavrelo's windows: builds the tool, starts it in a Wine virtual
# desktop on a private X server (so windows get frames and nothing needs a real display),
# optionally types keys to open a menu or dialog, and captures the whole desktop.
# It uses its own Wine prefix, build/shot-prefix, never the user's ~/.wine.
set -euo pipefail

usage() {
  cat <<'EOF'
Usage: scripts/screenshot.sh [options] [-- arguments for the tool]
  -o FILE     where to write the PNG (default: shots/tavrelo.png)
  -d DPI      screen resolution in dots per inch, e.g. 144 or 192 (default: 96)
  -k KEYS     xdotool key sequence to send before capturing, e.g. "alt+h v"
  -x ACTIONS  xdotool commands to run before capturing (after the keys), e.g.
              "mousemove 700 390 click 1" to press a button at that screen point;
              may be given several times, each runs as its own xdotool call
  -w SECONDS  time to let the window settle before the keys and the capture (default: 3)
  -s WxH      size of the virtual desktop (default: 1024x768)
Example: scripts/screenshot.sh -o shots/about.png -d 144 -k "alt+h v"
EOF
}

out=shots/tavrelo.png dpi=96 keys='' settle=3 size=1024x768
actions=()
while getopts "o:d:k:x:w:s:h" opt; do
  case "$opt" in
    o) out=$OPTARG ;;
    d) dpi=$OPTARG ;;
    k) keys=$OPTARG ;;
    x) actions+=("$OPTARG") ;;
    w) settle=$OPTARG ;;
    s) size=$OPTARG ;;
    h) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[[ "$dpi" =~ ^[0-9]+$ ]] || { echo "error: -d needs a number, not '$dpi'" >&2; exit 2; }
[[ "$size" =~ ^[0-9]+x[0-9]+$ ]] || { echo "error: -s needs WxH, not '$size'" >&2; exit 2; }

# Relative paths are the caller's; the script itself works from the repository root.
out=$(realpath -m "$out")
tool_args=()
for a in "$@"; do
  if [ -e "$a" ]; then tool_args+=("$(realpath "$a")"); else tool_args+=("$a"); fi
done
cd "$(dirname "$0")/.."
. scripts/deps.sh
. scripts/wine-env.sh

tavrelo_need_packages "${TAVRELO_BUILD_PACKAGES[@]}" xvfb xdotool imagemagick "${TAVRELO_FONT_PACKAGES[@]}"
tavrelo_need_locale ja_JP.UTF-8
tavrelo_build
[ -f build/tavrelo.exe ] || { echo "error: the build did not produce build/tavrelo.exe" >&2; exit 1; }

export WINEPREFIX="$PWD/build/shot-prefix" WINEDEBUG=-all WINEDLLOVERRIDES='winemenubuilder.exe=d'
export LC_ALL=ja_JP.UTF-8
unset WAYLAND_DISPLAY

xvfb_pid=''
cleanup() {
  wineserver -k 2>/dev/null || true
  tavrelo_stop_pid "$xvfb_pid"
}
trap cleanup EXIT

tavrelo_start_xvfb "$size"
xvfb_pid=$TAVRELO_XVFB_PID
tavrelo_prepare_prefix
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null

for i in "${!tool_args[@]}"; do
  [ -e "${tool_args[$i]}" ] && tool_args[i]=$(winepath -w "${tool_args[$i]}")
done

echo ">> Starting build/tavrelo.exe at $dpi DPI on a ${size} desktop (display $DISPLAY)"
wine explorer "/desktop=shot,$size" build/tavrelo.exe "${tool_args[@]}" &
wine_pid=$!

# The virtual desktop's X window shows up once Wine is up; the tool's window comes a moment later
# and takes the keyboard focus itself (moving the X focus to the desktop would lose the keys).
desktop=
for i in $(seq 120); do
  desktop=$(xdotool search --name 'Wine desktop' 2>/dev/null | head -n1 || true)
  [ -n "$desktop" ] && break
  kill -0 "$wine_pid" 2>/dev/null || { echo "error: Wine exited before showing the desktop" >&2; exit 1; }
  sleep 0.5
done
[ -n "$desktop" ] || { echo "error: no Wine desktop appeared" >&2; exit 1; }
sleep "$settle"

if [ -n "$keys" ]; then
  echo ">> Typing: $keys"
  # Word splitting is wanted: "alt+h v" is two key strokes.
  # shellcheck disable=SC2086
  xdotool key --delay 300 $keys
  sleep "$settle"
fi

for action in "${actions[@]}"; do
  echo ">> Running: xdotool $action"
  # shellcheck disable=SC2086
  xdotool $action
  sleep "$settle"
done

mkdir -p "$(dirname "$out")"
import -window root "$out"
echo ">> Wrote $out"

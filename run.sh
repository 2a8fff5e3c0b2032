#!/usr/bin/env bash
# Builds Tavrelo and runs it under Wine: ./run.sh [arguments for the tool]
# Installs what is missing with apt-get first. An argument that names an existing file is handed
# over as that file's Windows path, so `./run.sh setting.ini` opens that settings file.
# Wine prefix: $WINEPREFIX, else ~/.wine. Locale: $TAVRELO_LC_ALL, else ja_JP.UTF-8.
# Without a display the tool runs on a private X server that a browser shows through noVNC.
set -euo pipefail

# Relative paths are the caller's; resolve them before moving to the repository root.
args=() files=()
for a in "$@"; do
  if [ -e "$a" ]; then args+=("$(realpath "$a")"); files+=(1); else args+=("$a"); files+=(0); fi
done
cd "$(dirname "$0")"
. scripts/deps.sh
. scripts/wine-env.sh

locale_name=${TAVRELO_LC_ALL:-ja_JP.UTF-8}
headless=0
[ -z "${DISPLAY:-}" ] && headless=1

packages=("${TAVRELO_BUILD_PACKAGES[@]}" "${TAVRELO_FONT_PACKAGES[@]}")
[ "$headless" = 1 ] && packages+=(xvfb x11vnc novnc websockify)
tavrelo_need_packages "${packages[@]}"
tavrelo_need_locale "$locale_name"
tavrelo_build
[ -f build/tavrelo.exe ] || { echo "error: the build did not produce build/tavrelo.exe" >&2; exit 1; }

export WINEPREFIX=${WINEPREFIX:-$HOME/.wine} WINEDEBUG=-all LC_ALL=$locale_name
# Registering associations must not reach the Linux desktop's menus and MIME database.
export WINEDLLOVERRIDES='winemenubuilder.exe=d'

# free_port FIRST: the first port from FIRST on that nothing on this machine listens to.
free_port() {
  local p=$1
  while (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; do p=$((p + 1)); done
  echo "$p"
}

xvfb_pid='' vnc_pid='' web_pid='' logs=''
cleanup() {
  tavrelo_stop_pid "$web_pid" "$vnc_pid" "$xvfb_pid"
  [ -z "$logs" ] || rm -rf "$logs"
}
trap cleanup EXIT

if [ "$headless" = 1 ]; then
  size=1024x768
  echo ">> No display: starting a private X server with VNC and noVNC on localhost"
  tavrelo_start_xvfb "$size"
  xvfb_pid=$TAVRELO_XVFB_PID
  logs=$(mktemp -d)
  vnc_port=$(free_port 5900)
  x11vnc -display "$DISPLAY" -localhost -rfbport "$vnc_port" -nopw -forever -shared -quiet \
    >"$logs/x11vnc.log" 2>&1 &
  vnc_pid=$!
  web_port=$(free_port 6080)
  websockify --web /usr/share/novnc "127.0.0.1:$web_port" "127.0.0.1:$vnc_port" >"$logs/websockify.log" 2>&1 &
  web_pid=$!
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$web_port") 2>/dev/null && break
    sleep 0.2
  done
fi

tavrelo_prepare_prefix
for i in "${!args[@]}"; do
  [ "${files[$i]}" = 1 ] && args[i]=$(winepath -w "${args[$i]}")
done

if [ "$headless" = 1 ]; then
  echo ">> Open http://localhost:$web_port/vnc.html?autoconnect=1 in a browser to see Tavrelo"
  echo ">> (display $DISPLAY, VNC port $vnc_port; closing Tavrelo or Ctrl+C here stops everything)"
  echo ">> Running build/tavrelo.exe ${args[*]}"
  # A virtual desktop gives the windows frames, as there is no window manager on this display.
  rc=0
  wine explorer "/desktop=Tavrelo,$size" build/tavrelo.exe "${args[@]}" || rc=$?
else
  echo ">> Running build/tavrelo.exe ${args[*]}"
  rc=0
  wine build/tavrelo.exe "${args[@]}" || rc=$?
fi
exit "$rc"

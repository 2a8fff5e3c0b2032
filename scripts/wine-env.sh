# shellcheck shell=bash
# Wine and X helpers shared by run.sh and scripts/screenshot.sh. Source scripts/deps.sh first.

# Wine's own Tahoma and Marlett (window frames, caption buttons), and a Japanese font that Wine
# finds through fontconfig.
TAVRELO_FONT_PACKAGES=(fonts-wine fonts-ipafont-gothic)

# tavrelo_need_locale NAME: generates the glibc locale NAME (e.g. ja_JP.UTF-8) when it is missing.
# Without it Wine only guesses the language from the name and converts file names with the
# Japanese ANSI code page instead of UTF-8.
tavrelo_need_locale() {
  local name=$1 wanted
  case "$name" in C | C.* | POSIX) return 0 ;; esac
  wanted=$(printf '%s' "$name" | tr 'A-Z' 'a-z' | sed 's/utf-8$/utf8/')
  locale -a 2>/dev/null | tr 'A-Z' 'a-z' | grep -qxF "$wanted" && return 0
  tavrelo_need_packages locales
  echo ">> Generating the locale $name"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  if grep -qE "^# *$name( |\$)" /etc/locale.gen; then
    "${sudo[@]}" sed -i -E "s/^# *($name( |\$))/\\1/" /etc/locale.gen
  elif ! grep -qE "^$name( |\$)" /etc/locale.gen; then
    echo "$name ${name#*.}" | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo[@]}" locale-gen >/dev/null
}

# tavrelo_prepare_prefix: makes $WINEPREFIX ready to show Tavrelo. The first time it boots the
# prefix without offering to download Mono or Gecko and keeps programs from adding menu entries
# or file associations to the Linux desktop. Every time it makes sure the fonts are in place.
tavrelo_prepare_prefix() {
  if [ ! -f "$WINEPREFIX/.tavrelo-ready" ]; then
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo ">> Creating the Wine prefix $WINEPREFIX (first start only: this takes a minute or two)"
    else
      echo ">> Setting up the Wine prefix $WINEPREFIX for Tavrelo (once)"
    fi
    mkdir -p "$WINEPREFIX"
    WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d' wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d '' /f >/dev/null
    touch "$WINEPREFIX/.tavrelo-ready"
  fi
  tavrelo_link_fonts
}

# tavrelo_link_fonts: Debian's Wine looks for its own fonts outside the directory that fonts-wine
# fills, which leaves Tahoma missing and the caption buttons drawn as letters; linking them into
# the prefix's Fonts folder fixes that. Tahoma then gets IPA Gothic as its fallback for Japanese
# (FontLink), so Japanese text in Tahoma shows glyphs instead of empty boxes. Wine rewrites these
# links with its defaults whenever the prefix is started under another code page, hence this runs
# on every start; reg.exe itself triggers that rewrite before it stores the value.
tavrelo_link_fonts() {
  local f fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  for f in /usr/share/wine/fonts/*; do
    [ -e "$f" ] && [ ! -e "$fonts/${f##*/}" ] && ln -s "$f" "$fonts/"
  done
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
    /v Tahoma /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f >/dev/null
}

# tavrelo_start_xvfb WxH: starts a private X server on a free display number and points DISPLAY
# at it. Its process id is left in TAVRELO_XVFB_PID for the caller to stop.
tavrelo_start_xvfb() {
  local fdfile n
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -dpi 96 3>"$fdfile" >/dev/null 2>&1 &
  TAVRELO_XVFB_PID=$!
  for n in $(seq 100); do
    [ -s "$fdfile" ] && break
    kill -0 "$TAVRELO_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  n=$(tr -dc 0-9 <"$fdfile")
  rm -f "$fdfile"
  if [ -z "$n" ]; then
    echo "error: Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$n"
}

# tavrelo_stop_pid PID...: ends processes this script started and waits for them.
tavrelo_stop_pid() {
  local p
  for p in "$@"; do
    [ -n "$p" ] || continue
    kill "$p" 2>/dev/null || true
    wait "$p" 2>/dev/null || true
  done
}

# Installs the Debian packages a step needs, saying what it does. Sourced by test.sh and run.sh.
# Usage: tavrelo_need_packages pkg...

tavrelo_need_packages() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo ">> Installing missing packages: ${missing[*]}"
  tavrelo_apt_get update -qq
  tavrelo_apt_get install -y -qq --no-install-recommends "${missing[@]}"
}

# tavrelo_apt_get ARG...: apt-get ARG... as root. While another package manager (on a fresh
# machine often the automatic updates) holds the lock of apt or dpkg, it says so once, waits and
# tries again; after TAVRELO_APT_LOCK_WAIT seconds (default 300) it gives up with a message.
tavrelo_apt_get() {
  local - sudo=() log status patience=${TAVRELO_APT_LOCK_WAIT:-300} start=$SECONDS said=0
  local lock_lines='^E: (Could not get lock|Unable to lock|Unable to acquire the dpkg frontend lock)'
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  log=$(mktemp)
  set +e
  while :; do
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive LC_ALL=C apt-get "$@" 2>&1 | tee "$log" |
      grep -Ev --line-buffered "$lock_lines"
    status=${PIPESTATUS[0]}
    if [ "$status" -eq 0 ] || ! grep -qE "$lock_lines" "$log"; then
      rm -f "$log"
      return "$status"
    fi
    if [ $((SECONDS - start)) -ge "$patience" ]; then
      echo "error: another package manager still holds the lock of apt or dpkg after ${patience} s:" >&2
      grep -E "$lock_lines" "$log" | head -n 1 >&2
      echo "Let it finish (or end it), then run this script again." >&2
      rm -f "$log"
      return 1
    fi
    if [ "$said" = 0 ]; then
      echo ">> Another package manager holds the lock of apt or dpkg; waiting for it (at most ${patience} s)"
      grep -E "$lock_lines" "$log" | head -n 1 | sed 's/^E: /   /'
      said=1
    fi
    sleep 5
  done
}

# The packages that building the tool and its tests needs. The help file is compiled with Free
# Pascal's CHM writer (its compiler, and the chm and fcl units).
TAVRELO_BUILD_PACKAGES=(cmake make g++-mingw-w64-x86-64-posix mingw-w64-tools googletest wine wine64
  fp-compiler fp-units-misc fp-units-fcl)

# Configures and builds into build/ (the tool ends up at build/tavrelo.exe).
tavrelo_build() {
  echo ">> Configuring and building (build/)"
  cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake "$@" >/dev/null
  cmake --build build --parallel "$(nproc)"
}

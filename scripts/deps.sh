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
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
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

#!/usr/bin/env bash
# Builds Tavrelo and its tests for Windows and runs every test under Wine (a private prefix
# inside build/, null graphics driver). Installs what is missing with apt-get first.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
. scripts/wine-env.sh
tavrelo_need_packages "${TAVRELO_BUILD_PACKAGES[@]}"
# The tests run with Japanese system strings and code page 932, as the tool's users do.
tavrelo_need_locale ja_JP.UTF-8
tavrelo_build -DTAVRELO_WERROR=ON
echo ">> Running the tests under Wine"
ctest --test-dir build --output-on-failure --timeout 900

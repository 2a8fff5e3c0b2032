#!/usr/bin/env bash
# Runs the whole test suite round after round while other work keeps every core busy, and reports
# each failure: a test that holds on a quiet machine but not on a busy one has a race.
#
#   scripts/load-test.sh [-n ROUNDS] [-l suite|cpu|both] [-c COPIES] [-R REGEX]
#
#   -n ROUNDS  rounds of the suite (default 10)
#   -l LOAD    suite: COPIES further copies of the suite's test programs run in a loop beside it,
#              each in a Wine prefix of its own (build/wineprefix-loadN), and their failures count
#              too; cpu: one busy shell loop per core; both: the two together (default suite)
#   -c COPIES  copies of the suite for the suite load (default 1)
#   -R REGEX   only the CTest tests whose names match, in the measured rounds
#
# Builds first, as test.sh does. Logs go to build/load-test/. Never touches ~/.wine. The exit status
# is 0 only when no round and no load copy failed.
set -euo pipefail
cd "$(dirname "$0")/.."

rounds=10 load=suite copies=1 regex=
while getopts "n:l:c:R:h" opt; do
  case "$opt" in
    n) rounds=$OPTARG ;;
    l) load=$OPTARG ;;
    c) copies=$OPTARG ;;
    R) regex=$OPTARG ;;
    *)
      sed -n '2,/^set /s/^# \{0,1\}//p' "$0"
      exit 2
      ;;
  esac
done
case "$load" in suite | cpu | both) ;; *)
  echo "load-test.sh: -l takes suite, cpu or both" >&2
  exit 2
  ;;
esac

. scripts/deps.sh
. scripts/wine-env.sh
tavrelo_need_packages "${TAVRELO_BUILD_PACKAGES[@]}"
tavrelo_need_locale ja_JP.UTF-8
tavrelo_build -DTAVRELO_WERROR=ON

logs=build/load-test
rm -rf "$logs"
mkdir -p "$logs"
mapfile -t programs < <(ls build/tests/*/test_*.exe)

# load_copy N: runs every test program in the prefix wineprefix-loadN, over and over; a failing or
# hanging (15 min) run leaves its output in $logs/loadN-PROGRAM-RUN.log.
load_copy() {
  local n=$1 run=0 exe name
  while :; do
    run=$((run + 1))
    for exe in "${programs[@]}"; do
      name=$(basename "$exe" .exe)
      if ! (cd "$(dirname "$exe")" && TAVRELO_PREFIX_NAME=load$n timeout 900 ../../wine-run "./$name.exe" --gtest_color=no) \
        >"$logs/load$n-$name-$run.log" 2>&1; then
        echo "load copy $n, run $run: $name failed (see $logs/load$n-$name-$run.log)" >>"$logs/load-failures"
      else
        rm -f "$logs/load$n-$name-$run.log"
      fi
    done
  done
}

loaders=()
stop_load() {
  local pid n
  for pid in "${loaders[@]}"; do kill -- "-$pid" 2>/dev/null || true; done
  for pid in "${loaders[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ "$load" != cpu ]; then
    for n in $(seq "$copies"); do
      WINEPREFIX="$PWD/build/wineprefix-load$n" wineserver -k 2>/dev/null || true
    done
  fi
}
trap stop_load EXIT
trap 'exit 130' INT TERM

# Each load runs in a process group of its own, so that stopping it ends its Wine programs too.
if [ "$load" != cpu ]; then
  for n in $(seq "$copies"); do
    # The prefix is made before the rounds start, so the first round is loaded too.
    TAVRELO_PREFIX_NAME=load$n build/wine-run cmd /c exit >/dev/null 2>&1 || true
    setsid bash -c "$(declare -f load_copy); programs=(${programs[*]}); logs=$logs; load_copy $n" &
    loaders+=($!)
  done
fi
if [ "$load" != suite ]; then
  for n in $(seq "$(nproc)"); do
    setsid sh -c 'while :; do :; done' &
    loaders+=($!)
  done
fi
echo ">> $rounds rounds of the suite under load: $load$([ "$load" != cpu ] && echo ", copies of the suite: $copies")"

failed_rounds=0
for round in $(seq "$rounds"); do
  log="$logs/round-$round.log"
  start=$(date +%s)
  if ctest --test-dir build --output-on-failure --timeout 900 ${regex:+-R "$regex"} >"$log" 2>&1; then
    echo "round $round: passed in $(($(date +%s) - start)) s (load average $(cut -d' ' -f1 /proc/loadavg))"
  else
    failed_rounds=$((failed_rounds + 1))
    echo "round $round: FAILED in $(($(date +%s) - start)) s (see $log)"
    # The failed test programs, then each failing case with the lines that say why.
    sed -n '/The following tests FAILED/,/^Errors/p' "$log" | grep -E '^\s+[0-9]+ - ' | sed 's/^\s*/  /'
    awk '/^\[  FAILED  \] .*\([0-9]+ ms\)$/ { print "    " $0 }
         /^\[/ { on = 0 }
         /: Failure$/ { on = 1 }
         on { print "      " $0 }
         trace { on = 0 }
         { trace = on && /^Google Test trace:$/ }' "$log"
  fi
done

# Read before the load stops, so that a run ended by the stop does not count.
load_failures=$(cat "$logs/load-failures" 2>/dev/null || true)
stop_load
trap - EXIT
for f in "$logs"/load[0-9]*-*.log; do
  [ -e "$f" ] && ! grep -qF "$f" <<<"$load_failures" && rm -f "$f"
done
echo ">> $((rounds - failed_rounds)) of $rounds rounds passed"
status=0
[ "$failed_rounds" -eq 0 ] || status=1
if [ -n "$load_failures" ]; then
  echo ">> The load copies failed too:"
  echo "$load_failures"
  status=1
fi
exit "$status"

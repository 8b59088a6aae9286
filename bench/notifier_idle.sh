#!/usr/bin/env bash
# Idle cost of Mewlark.exe between check passes: the CPU time and the wake-ups of its process
# over SECONDS after its first pass, read from /proc once a second.
#   bench/notifier_idle.sh BUILD_DIR [SECONDS]    (default: BENCH_IDLE_SECONDS, else 60)
# Runs inside the test environment of BUILD_DIR (tools/lib/test-env.sh); prints Markdown.
set -euo pipefail

build=$(cd "$1" && pwd)
seconds=${2:-${BENCH_IDLE_SECONDS:-60}}
: "${WINEPREFIX:?run inside the test environment (tools/lib/test-env.sh)}"
# shellcheck disable=SC1091
source "$build/simulator.env"

sim() {  # sim PATH FORM: one call of the simulator's control interface
  python3 -c 'import sys, urllib.request
print(urllib.request.urlopen("http://127.0.0.1:%s%s" % (sys.argv[1], sys.argv[2]), sys.argv[3].encode()).read().decode())' \
    "$SIM_HTTP_PORT" "$1" "$2"
}

# Clock ticks of CPU time and context switches summed over the process's threads:
# "ticks voluntary involuntary threads".
sample() {
  local pid=$1 ticks=0 voluntary=0 involuntary=0 threads=0 task stat
  for task in /proc/"$pid"/task/*; do
    stat=$(cat "$task/stat" 2>/dev/null) || continue
    stat=${stat##*) }
    read -r -a fields <<<"$stat"
    ticks=$((ticks + fields[11] + fields[12]))
    voluntary=$((voluntary + $(awk '/^voluntary_ctxt_switches/ {print $2}' "$task/status")))
    involuntary=$((involuntary + $(awk '/^nonvoluntary_ctxt_switches/ {print $2}' "$task/status")))
    threads=$((threads + 1))
  done
  echo "$ticks $voluntary $involuntary $threads"
}

sim /_sim/reset "" >/dev/null
sim /_sim/account "user=idle&pass=pw&count=1" >/dev/null
sim /_sim/session "eid=eid-idle&user=idle" >/dev/null
wine reg add 'HKCU\Software\tarn\Mewlark' /v EID /d eid-idle /f </dev/null >/dev/null 2>&1

wine "$build/bin/Mewlark.exe" </dev/null >/dev/null 2>&1 &
pid=$!
stop_notifier() {
  wine "$build/bin/Mewlark.exe" Stop </dev/null >/dev/null 2>&1 || true
  wait "$pid" 2>/dev/null || true
  wine reg delete 'HKCU\Software\tarn\Mewlark' /f </dev/null >/dev/null 2>&1 || true
}
trap stop_notifier EXIT
for _ in $(seq 150); do
  [[ $(sim /_sim/requests "target=arrival") -ge 1 ]] && break
  sleep 0.2
done
[[ $(sim /_sim/requests "target=arrival") -ge 1 ]] || { echo "the notifier made no first pass" >&2; exit 1; }
grep -q 'Mewlark.exe' "/proc/$pid/cmdline" || { echo "process $pid is not the notifier" >&2; exit 1; }
# The first pass announces new mail: let the popup's 6 s go by.
sleep 8

tick=$(getconf CLK_TCK)
read -r ticks0 vol0 invol0 threads <<<"$(sample "$pid")"
passes0=$(sim /_sim/requests "target=arrival")
woke=()
last=$vol0
for second in $(seq "$seconds"); do
  sleep 1
  read -r _ vol _ _ <<<"$(sample "$pid")"
  ((vol > last)) && woke+=("${second}s:$((vol - last))")
  last=$vol
done
read -r ticks1 vol1 invol1 threads <<<"$(sample "$pid")"
passes=$(($(sim /_sim/requests "target=arrival") - passes0))

echo "| idle seconds | CPU ms | wake-ups (voluntary switches) | involuntary switches | threads | passes | seconds with a wake-up (s:switches) |"
echo "|---|---|---|---|---|---|---|"
printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$seconds" "$(((ticks1 - ticks0) * 1000 / tick))" \
  "$((vol1 - vol0))" "$((invol1 - invol0))" "$threads" "$passes" "${woke[*]:-none}"

#!/usr/bin/env bash
# Idle cost of Mewlark.exe between check passes: the CPU time and the wake-ups of its process
# over SECONDS after its first pass.
#   bench/notifier-idle.sh BUILD_DIR [SECONDS]    (default: BENCH_IDLE_SECONDS, else 60)
# Runs inside the test environment of BUILD_DIR (tools/lib/test-env.sh); prints Markdown.
# Totals come from `perf stat` on the process (its threads, the passes' short-lived workers
# included) when perf works here, else from /proc (CPU time in 10 ms ticks; context
# switches of the threads alive at the end). The timeline of wake-ups is the UI thread's,
# read from /proc once a second.
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

# Context switches of one thread: "voluntary involuntary".
switches() {
  awk '/^voluntary_ctxt_switches/ {v = $2} /^nonvoluntary_ctxt_switches/ {n = $2} END {print v, n}' "$1/status"
}

# CPU clock ticks of the whole process, exited threads included.
process_ticks() {
  local stat
  stat=$(cat "/proc/$1/stat")
  stat=${stat##*) }
  read -r -a fields <<<"$stat"
  echo $((fields[11] + fields[12]))
}

# Context switches summed over the threads alive now: "voluntary involuntary".
live_switches() {
  local voluntary=0 involuntary=0 task v n
  for task in /proc/"$1"/task/*; do
    read -r v n <<<"$(switches "$task")" || continue
    voluntary=$((voluntary + v))
    involuntary=$((involuntary + n))
  done
  echo "$voluntary $involuntary"
}

sim /_sim/reset "" >/dev/null
sim /_sim/account "user=idle&pass=pw&count=1" >/dev/null
sim /_sim/session "eid=eid-idle&user=idle" >/dev/null
wine reg add 'HKCU\Software\tarn\Mewlark' /v EID /d eid-idle /f </dev/null >/dev/null 2>&1

wine "$build/bin/Mewlark.exe" </dev/null >/dev/null 2>&1 &
pid=$!
perf_out=$(mktemp)
stop_notifier() {
  wine "$build/bin/Mewlark.exe" Stop </dev/null >/dev/null 2>&1 || true
  wait "$pid" 2>/dev/null || true
  wine reg delete 'HKCU\Software\tarn\Mewlark' /f </dev/null >/dev/null 2>&1 || true
  rm -f "$perf_out"
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

use_perf=false
if command -v perf >/dev/null && perf stat -e task-clock -p "$pid" -- true >/dev/null 2>&1; then
  use_perf=true
  perf stat -x, -e task-clock,context-switches -o "$perf_out" -p "$pid" -- sleep "$seconds" &
  perf_pid=$!
fi
ticks0=$(process_ticks "$pid")
read -r vol0 invol0 <<<"$(live_switches "$pid")"
passes0=$(sim /_sim/requests "target=arrival")
ui=/proc/$pid/task/$pid
read -r last _ <<<"$(switches "$ui")"
woke=()
for second in $(seq "$seconds"); do
  sleep 1
  read -r vol _ <<<"$(switches "$ui")"
  ((vol > last)) && woke+=("${second}s:$((vol - last))")
  last=$vol
done
ticks1=$(process_ticks "$pid")
read -r vol1 invol1 <<<"$(live_switches "$pid")"
passes=$(($(sim /_sim/requests "target=arrival") - passes0))
threads=$(find "/proc/$pid/task" -mindepth 1 -maxdepth 1 | wc -l)

if $use_perf; then
  wait "$perf_pid" || true
  cpu=$(awk -F, '$3 == "task-clock" {printf "%.2f", $1}' "$perf_out")
  switched=$(awk -F, '$3 == "context-switches" {print $1}' "$perf_out")
  source_note="perf stat"
else
  cpu=$(((ticks1 - ticks0) * 1000 / $(getconf CLK_TCK)))
  switched="$((vol1 - vol0)) voluntary, $((invol1 - invol0)) involuntary"
  source_note="/proc"
fi
[[ $cpu == "<not counted>"* || -z $cpu ]] && cpu=0
[[ $switched == "<not counted>"* || -z $switched ]] && switched=0

echo "| idle seconds | CPU ms | context switches | passes | threads | seconds in which the UI thread woke (s:switches) | totals from |"
echo "|---|---|---|---|---|---|---|"
printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$seconds" "$cpu" "$switched" "$passes" "$threads" \
  "${woke[*]:-none}" "$source_note"

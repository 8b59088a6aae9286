#!/usr/bin/env bash
# Builds the Windows programs and runs the benchmarks inside the test environment.
# Prints Markdown tables; docs/benchmarks.md records a run.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
# shellcheck disable=SC1091
source tools/lib/test-env.sh
test_env_isolate tools/bench.sh "$@"
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86
trap test_env_stop EXIT
test_env_start build/windows-x86

echo "## One check pass against a bare WinINet exchange"
wine build/windows-x86/bin/check_pass_bench.exe "${BENCH_PASSES:-300}" </dev/null
echo
echo "## Idle cost of the notifier between passes"
bench/notifier-idle.sh build/windows-x86 "${BENCH_IDLE_SECONDS:-60}"
echo
echo "## Install and uninstall of 2000 small files and 20 of 5 MB"
bench/setup-bench.sh build/windows-x86 "${BENCH_ROUNDS:-5}"
echo
echo "## Executable sizes (stripped release build)"
cmake --preset windows-x86-release >/dev/null
cmake --build --preset windows-x86-release >/dev/null
echo "| file | bytes |"
echo "|---|---|"
for exe in build/windows-x86-release/bin/*.exe; do
  printf '| %s | %s |\n' "$(basename "$exe")" "$(stat -c %s "$exe")"
done

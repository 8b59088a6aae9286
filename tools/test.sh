#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both presets, starts the test
# environment (Xvfb, Wine prefix, wineserver, service simulator), runs CTest, stops it all.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
# shellcheck disable=SC1091
source tools/lib/test-env.sh
test_env_isolate tools/test.sh "$@"
cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86

echo "== native tests"
ctest --preset native
python3 tools/run-faults.py --check   # a fault whose code moved would test nothing
echo "== fuzz targets, briefly on their corpora"
ctest --preset fuzz

echo "== Windows tests under Wine"
trap test_env_stop EXIT
test_env_start build/windows-x86
ctest --preset windows-x86 "$@"

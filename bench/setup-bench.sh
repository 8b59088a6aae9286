#!/usr/bin/env bash
# The install benchmark: writes the payload, MewlarkSetup's script and an NSIS installer of
# the same files into BUILD_DIR/bench-setup, then runs BUILD_DIR/bin/setup_bench.exe.
# Runs inside the test environment (tools/bench.sh starts it).
# Usage: bench/setup-bench.sh BUILD_DIR [ROUNDS]; SETUP_BENCH_NSIS=0 leaves the NSIS installer out.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1

nsis=${SETUP_BENCH_NSIS:-1}
if [ "$nsis" = 1 ] && ! command -v makensis >/dev/null; then
  echo "setup-bench: installing nsis" >&2
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq nsis >/dev/null
fi

dir="$build/bench-setup"
mkdir -p "$dir"
python3 bench/make-setup-payload.py "$dir"
cp "$build/bin/MewlarkSetup.exe" "$dir/"
rm -f "$dir/nsis_setup.exe"
if [ "$nsis" = 1 ]; then (cd "$dir" && makensis -V1 bench.nsi >/dev/null); fi
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
wine "$build/bin/setup_bench.exe" "$(winepath -w "$dir")" "${2:-3}" </dev/null
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

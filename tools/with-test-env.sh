#!/usr/bin/env bash
# Runs a command inside the test environment of the windows-x86 build, for exploring:
#   tools/with-test-env.sh bash      (then: wine build/windows-x86/bin/Mewlark.exe)
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck disable=SC1091
source tools/lib/test-env.sh
test_env_isolate tools/with-test-env.sh "$@"
trap test_env_stop EXIT
test_env_start build/windows-x86 ${MEWLARK_DEMO:+--demo}
"$@"

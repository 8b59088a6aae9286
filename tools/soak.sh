#!/usr/bin/env bash
# Soak of the notifier: SOAK_PASSES (default 1000) re-fetch passes in a row of a running
# Mewlark.exe against the service simulator, with mixed good and broken replies; prints its
# kernel handles, GDI objects, threads and private bytes every SOAK_EVERY (default 100)
# passes, and fails when a count grew. Builds the Windows test build (MEWLARK_BUILD_DIR,
# default build/windows-x86) and runs inside its test environment.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${MEWLARK_BUILD_DIR:-build/windows-x86}
tools/install-deps.sh
# shellcheck disable=SC1091
source tools/lib/test-env.sh
test_env_isolate tools/soak.sh "$@"
cmake --preset windows-x86 -B "$build" >/dev/null
cmake --build "$build" --target notifier_soak
trap test_env_stop EXIT
test_env_start "$build"
wine "$build/bin/notifier_soak.exe" "${SOAK_PASSES:-1000}" "${SOAK_EVERY:-100}" </dev/null

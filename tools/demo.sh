#!/usr/bin/env bash
# Mewlark under Wine against the local service simulator with its demo mailbox: account
# demo / demo-pass, the count changing about every minute.
#
# With a display (DISPLAY set): the tray icon, the login dialog and the popups appear there;
# log in as demo / demo-pass and quit from the tray menu ("終了") to end the demo.
# Without one: it runs under Xvfb, logs in through the dialog by itself and saves
# screenshots of the login dialog, a new-mail popup and the tray menu to the folder it names.
#
# MEWLARK_DEMO_BUILD picks another configured build tree (default build/windows-x86);
# MEWLARK_DEMO_SHOTS another folder for the screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${MEWLARK_DEMO_BUILD:-build/windows-x86}
shots=${MEWLARK_DEMO_SHOTS:-$PWD/build/demo-screenshots}

interactive=
if [[ -n "${DISPLAY:-}" ]]; then
  interactive=1
  export MEWLARK_USE_DISPLAY=1
fi

tools/install-deps.sh
# shellcheck disable=SC1091
source tools/lib/test-env.sh
test_env_isolate tools/demo.sh "$@"
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake --preset windows-x86 >/dev/null
fi
cmake --build "$build" --target Mewlark demo_driver install_test_ca

trap test_env_stop EXIT
test_env_start "$build" --demo

notifier=$(winepath -w "$build/bin/Mewlark.exe")
driver="$build/bin/demo_driver.exe"
# Start logged out, so that the login dialog is shown.
wine reg delete 'HKCU\Software\tarn\Mewlark' /v EID /f </dev/null >/dev/null 2>&1 || true

if [[ -n "$interactive" ]]; then
  echo "demo: Mewlark runs on $DISPLAY; log in as demo / demo-pass; quit from its tray menu."
  wine "$notifier" </dev/null >"$TEST_ENV_DIR/demo-notifier.log" 2>&1
  exit 0
fi

mkdir -p "$shots"
shoot() { import -window root -display "$DISPLAY" "$shots/$1"; echo "demo: saved $shots/$1"; }
step() { wine "$driver" "$@" </dev/null || { echo "demo: '$*' did not happen" >&2; exit 1; }; }

wine "$notifier" </dev/null >"$TEST_ENV_DIR/demo-notifier.log" 2>&1 &
notifier_pid=$!
step wait-login 60
step fill-login demo demo-pass
shoot login-dialog.png
step press-ok
step wait-popup 60
shoot new-mail-popup.png
step open-menu 30
shoot tray-menu.png
step close-menu
wine "$notifier" /Stop </dev/null >/dev/null 2>&1
wait "$notifier_pid"
echo "demo: screenshots are in $shots"

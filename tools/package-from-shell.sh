#!/usr/bin/env bash
# The release package run from a shell the way a user runs it, with nothing of Wine running
# while the setup runs and ends (a test program would keep Wine's desktop process alive and hide
# what a user sees). Checks that the notifier started by the install still has its main window
# and its tray icon 15 s after the setup ended; that a reinstall over it, "Stop" and an
# uninstall over it complete; and that nothing is left.
# Inside the test environment, after a build with the dist target:
#   tools/with-test-env.sh tools/package-from-shell.sh [BUILD_DIR]
set -euo pipefail
# Wine's desktop process, started again by a program of this script once the last one ended,
# inherits the script's output: given a file, the caller's pipe closes when the script ends.
if [[ -z "${PACKAGE_FROM_SHELL_OUTPUT:-}" ]]; then
  PACKAGE_FROM_SHELL_OUTPUT=$(mktemp)
  export PACKAGE_FROM_SHELL_OUTPUT
  status=0
  "$0" "$@" >"$PACKAGE_FROM_SHELL_OUTPUT" 2>&1 || status=$?
  cat "$PACKAGE_FROM_SHELL_OUTPUT"
  rm -f "$PACKAGE_FROM_SHELL_OUTPUT"
  exit "$status"
fi
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/windows-x86}" && pwd)
driver="$build/bin/package_driver.exe"
package="$build/test-env/package"
installed="$WINEPREFIX/drive_c/Program Files/Mewlark"
shortcuts="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Mewlark"
notifier='C:\Program Files\Mewlark\Mewlark.exe'

fail() {
  echo "package-from-shell: FAILED: $*" >&2
  exit 1
}
step() { echo "package-from-shell: $*"; }

# Command lines of the running processes of this prefix that match the pattern.
prefix_processes() {
  local environ
  for environ in /proc/[0-9]*/environ; do
    tr '\0' '\n' 2>/dev/null <"$environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    tr '\0' ' ' 2>/dev/null <"${environ%/environ}/cmdline" | grep -iF -- "$1" || true
  done
}

# Waits until no program of this prefix holds Wine's desktop: its process has gone.
wait_desktop_gone() {
  local i
  for i in $(seq 300); do
    [[ -z "$(prefix_processes 'explorer.exe /desktop')" ]] && return 0
    sleep 0.1
  done
  fail "Wine's desktop process still runs: $(prefix_processes .exe)"
}

# Runs a program of the package folder (or the installed uninstaller) from this shell and
# presses the buttons of its boxes in order, each by a driver run that ends at once.
run_answering() {
  local program=$1
  shift
  (cd "$(dirname "$program")" && exec wine "$program") &
  local started=$!
  local button
  for button in "$@"; do
    wine "$driver" answer "$button" 60 || fail "no box with button $button from $program"
  done
  wait "$started"
}

# The notifier of the install has its window and tray icon 15 s after the setup ended.
check_notifier_stays() {
  sleep 15
  wine "$driver" notifier 0 || fail "the notifier lost its window or tray icon: $(prefix_processes Mewlark.exe)"
}

[[ -e "$installed" ]] && fail "Mewlark is installed already: $installed"
rm -rf "$package"
mkdir -p "$package"
cp "$build/dist/MewlarkSetup.exe" "$build/dist/setup.ini" "$build/dist/Mewlark.exe" "$package/"

step "install, Start answered Yes"
wait_desktop_gone
run_answering "$package/MewlarkSetup.exe" 6
[[ -f "$installed/Mewlark.exe" && -f "$shortcuts/Mewlark.lnk" ]] || fail "not installed: $installed, $shortcuts"
check_notifier_stays

# The running notifier now keeps the desktop, as it does for a user.
step "reinstall over the running notifier, Start answered Yes"
run_answering "$package/MewlarkSetup.exe" 6
check_notifier_stays

step "Stop"
wine "$notifier" Stop
sleep 2
[[ -z "$(prefix_processes Mewlark.exe)" ]] || fail "Stop left the notifier running"

step "uninstall over a running notifier"
(exec wine "$notifier") &
wine "$driver" notifier 30 || fail "the notifier started from its folder shows no window"
run_answering "$installed/uninstall.exe" 6 1
sleep 2
[[ -z "$(prefix_processes Mewlark.exe)" ]] || fail "the uninstall left the notifier running"
[[ ! -e "$installed" ]] || fail "the installation folder is left: $(ls -A "$installed")"
[[ ! -e "$shortcuts" ]] ||
  fail "the Start-menu folder is left"
! wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Mewlark' >/dev/null 2>&1 ||
  fail "the uninstall entry is left"
! wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v Mewlark.exe >/dev/null 2>&1 ||
  fail "the autostart value is left"
rm -rf "$package"
step "passed"

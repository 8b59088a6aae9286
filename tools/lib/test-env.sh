# Test environment for the Windows build: Xvfb, a Wine prefix with the test CA, wineserver
# and the service simulator. Source it, then: test_env_start BUILD_DIR [--demo]; test_env_stop.
# The demo (--demo) has a prefix of its own, so that it can run beside the tests.

TOOLS_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# test_env_isolate SCRIPT "$@": runs the calling script again, from its start, in a network of
# its own that has only the loopback device, so that its simulator's ports are its own: a demo
# beside a test run, or test runs of two checkouts, never meet. Needs root (else nothing
# changes); not with a display of the machine's (MEWLARK_USE_DISPLAY), which may be on TCP.
test_env_isolate() {
  if [[ -n "${TEST_ENV_ISOLATED:-}" || $EUID -ne 0 || -n "${MEWLARK_USE_DISPLAY:-}" ]]; then
    return 0
  fi
  command -v unshare >/dev/null && command -v ip >/dev/null || return 0
  export TEST_ENV_ISOLATED=1
  exec unshare --net -- bash -c 'ip link set lo up && exec "$@"' bash "$@"
}

test_env_fail() {
  echo "test-env: $*" >&2
  test_env_stop
  return 1
}

test_env_start_display() {
  if [[ -n "${MEWLARK_USE_DISPLAY:-}" && -n "${DISPLAY:-}" ]]; then
    return 0
  fi
  # Xvfb takes the first display number that no other X server holds (by its lock file or its
  # socket, which another root's server holds too) and writes it to the given descriptor.
  rm -f "$TEST_ENV_DIR/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$TEST_ENV_DIR/display" \
    >"$TEST_ENV_DIR/xvfb.log" 2>&1 &
  TEST_ENV_XVFB_PID=$!
  local i n
  for i in $(seq 100); do
    n=$(cat "$TEST_ENV_DIR/display" 2>/dev/null)
    if [[ "$n" =~ ^[0-9]+$ ]]; then
      export DISPLAY=":$n"
      return 0
    fi
    kill -0 "$TEST_ENV_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  test_env_fail "Xvfb did not start (see $TEST_ENV_DIR/xvfb.log)"
}

test_env_start_simulator() {
  local demo=$1
  # shellcheck disable=SC1091
  source "$TEST_ENV_BUILD/simulator.env"
  rm -f "$TEST_ENV_DIR/simulator.ready"
  python3 "$TOOLS_DIR/simulator/mailsim.py" --cert-dir "$TEST_ENV_BUILD/certs" \
    --http-port "$SIM_HTTP_PORT" --https-port "$SIM_HTTPS_PORT" --untrusted-port "$SIM_UNTRUSTED_PORT" \
    --control-port "$SIM_CONTROL_PORT" \
    --ready-file "$TEST_ENV_DIR/simulator.ready" $demo >"$TEST_ENV_DIR/simulator.log" 2>&1 &
  TEST_ENV_SIM_PID=$!
  local i
  for i in $(seq 150); do
    [[ -s "$TEST_ENV_DIR/simulator.ready" ]] && return 0
    kill -0 "$TEST_ENV_SIM_PID" 2>/dev/null || break
    sleep 0.1
  done
  test_env_fail "the service simulator did not start (see $TEST_ENV_DIR/simulator.log)"
}

test_env_prepare_prefix() {
  export WINEPREFIX="$TEST_ENV_BUILD/wineprefix$TEST_ENV_SUFFIX"
  export HOME="$TEST_ENV_BUILD/winehome$TEST_ENV_SUFFIX"
  export LC_ALL=ja_JP.UTF-8
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;winepulse.drv,winealsa.drv=d;mscoree,mshtml="
  mkdir -p "$HOME"
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "test-env: creating the Wine prefix $WINEPREFIX"
    wineboot -i </dev/null >"$TEST_ENV_DIR/wineboot.log" 2>&1 || test_env_fail "wineboot failed" || return 1
    wineserver -w
    # Without a window manager, closing a dialog otherwise blocks for about 2 s.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    wineserver -w
  fi
  [[ -f "$WINEPREFIX/system.reg" ]] || test_env_fail "no Wine prefix at $WINEPREFIX" || return 1
}

# test_env_start BUILD_DIR [--demo]
test_env_start() {
  TEST_ENV_BUILD=$(cd "$1" && pwd)
  TEST_ENV_SUFFIX=${2:+-demo}
  TEST_ENV_DIR="$TEST_ENV_BUILD/test-env$TEST_ENV_SUFFIX"
  mkdir -p "$TEST_ENV_DIR"
  command -v wine >/dev/null || test_env_fail "wine is not installed" || return 1
  python3 "$TOOLS_DIR/simulator/mailsim.py" --cert-dir "$TEST_ENV_BUILD/certs" --make-certificates-only ||
    test_env_fail "could not make the test certificates" || return 1
  test_env_start_display || return 1
  test_env_prepare_prefix || return 1
  wineserver -p
  # The first Wine process starts helpers that keep its output open: start them here.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || test_env_fail "Wine cannot run a program" || return 1
  # The dialogs' font "ＭＳ Ｐゴシック" is missing under Wine, whose fallback is a fixed-pitch
  # Gothic that clips their labels; IPAPGothic (fonts-ipafont-gothic) is proportional like it.
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f \
    </dev/null >/dev/null 2>&1 || test_env_fail "could not map the dialog font" || return 1
  # Wine 10 draws menus in Tahoma, which has no Japanese glyphs: linked to IPAPGothic as a
  # Japanese Windows links it to its Gothic (Wine 8 draws them in "MS Shell Dlg", IPAGothic).
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
    /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic' /f </dev/null >/dev/null 2>&1 ||
    test_env_fail "could not link the menu font" || return 1
  wine "$TEST_ENV_BUILD/bin/install_test_ca.exe" "$TEST_ENV_BUILD/certs/ca.der" </dev/null ||
    test_env_fail "could not add the test CA to the prefix's Root store" || return 1
  test_env_start_simulator "${2:-}" || return 1
}

test_env_stop() {
  if [[ -n "${TEST_ENV_SIM_PID:-}" ]]; then
    kill "$TEST_ENV_SIM_PID" 2>/dev/null || true
    wait "$TEST_ENV_SIM_PID" 2>/dev/null || true
    TEST_ENV_SIM_PID=
  fi
  if [[ -n "${WINEPREFIX:-}" ]]; then
    wineserver -k 2>/dev/null || true
  fi
  if [[ -n "${TEST_ENV_XVFB_PID:-}" ]]; then
    kill "$TEST_ENV_XVFB_PID" 2>/dev/null || true
    wait "$TEST_ENV_XVFB_PID" 2>/dev/null || true
    TEST_ENV_XVFB_PID=
  fi
}

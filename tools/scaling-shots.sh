#!/usr/bin/env bash
# Screenshots of the notifier at 100, 150 and 200 % under Xvfb, for docs/scaling.md: the
# prefix's LogPixels set before anything of Wine starts, the notifier started with a stored
# session whose mailbox holds 3 messages, the screen taken while the new-mail popup shows.
# Saves tray-<scale>.png (Wine's tray window, top left) and popup-<scale>.png (the screen's
# bottom-right corner) for the scales 100, 150 and 200.
# Usage: tools/scaling-shots.sh [folder]   (default: docs/images); LogPixels is 96 afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-docs/images}")
mkdir -p "$out"
cmake --build build/windows-x86 --target Mewlark >/dev/null
for dpi in 96 144 192; do
  DPI=$dpi OUT=$out tools/with-test-env.sh bash -c '
    set -euo pipefail
    wine reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d "$DPI" /f >/dev/null 2>&1
    source build/windows-x86/simulator.env
    sim() { curl -s -o /dev/null --data "$2" "http://127.0.0.1:$SIM_HTTP_PORT/_sim/$1"; }
    sim account "user=alice&pass=pw&count=3"
    sim session "eid=eid-alice&user=alice"
    wine reg add "HKCU\\Software\\tarn\\Mewlark" /v EID /d eid-alice /f >/dev/null 2>&1
    wine build/windows-x86/bin/Mewlark.exe </dev/null >/dev/null 2>&1 &
    sleep 6
    import -window root -display "$DISPLAY" "$OUT/screen-$DPI.png"
    wine build/windows-x86/bin/Mewlark.exe /Stop </dev/null >/dev/null 2>&1
    wait
    wine reg delete "HKCU\\Software\\tarn\\Mewlark" /f >/dev/null 2>&1 || true
    wine reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
  '
  scale=$((dpi * 100 / 96))
  convert "$out/screen-$dpi.png" -crop "$((150 * dpi / 96))x$((42 * dpi / 96))+0+0" +repage "$out/tray-$scale.png"
  convert "$out/screen-$dpi.png" -gravity SouthEast -crop "$((240 * dpi / 96))x$((44 * dpi / 96))+0+0" +repage \
    "$out/popup-$scale.png"
  rm "$out/screen-$dpi.png"
  echo "saved $out/tray-$scale.png $out/popup-$scale.png"
done

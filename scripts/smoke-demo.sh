#!/usr/bin/env bash
# smoke-demo.sh BIN_DIR SCREENSHOT.png
# Starts the real kyto-demo on a virtual X server against kyto-emu: it must
# connect, run detection, save a screenshot of its main window after the
# first frame and close by itself. Fails when it does not, or when the
# screenshot is missing or empty.
set -euo pipefail
bin=$(cd "$1" && pwd)
shot=$(realpath -m "$2")
export KYTO_LOOPBACK_ONLY=1
data=$(mktemp -d /tmp/kyto-smoke.XXXXXX)
emu_out="$data/emu.out"
"$bin/kyto-emu" --seed 1 --exit-with-parent >"$emu_out" 2>"$data/emu.err" &
emu=$!
trap 'kill $emu 2>/dev/null || true; wait $emu 2>/dev/null || true; rm -rf "$data"' EXIT
for _ in $(seq 200); do
    [ -s "$emu_out" ] && break
    sleep 0.05
done
port=$(head -n1 "$emu_out")
[ -n "$port" ] || { echo "smoke: the emulator printed no port" >&2; exit 1; }
# Connected at start, every function but Verify on.
printf '[Application]\nCOMPortName=%s\nBaudRate=921600\nAutoConnect=1\n[ActiveFunction]\nFunction=1023\n' \
    "$port" >"$data/Application.ini"
rm -f "$shot"
status=0
timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$bin/kyto-demo" --data-dir "$data" --screenshot "$shot" >"$data/demo.log" 2>&1 || status=$?
if [ "$status" != 0 ]; then
    echo "smoke: kyto-demo ended with status $status" >&2
    cat "$data/demo.log" >&2
    exit 1
fi
size=$(stat -c %s "$shot" 2>/dev/null || echo 0)
if [ "$size" -lt 20000 ]; then
    echo "smoke: screenshot $shot missing or nearly empty ($size bytes)" >&2
    exit 1
fi
echo "smoke: kyto-demo connected, showed a frame and closed; screenshot $shot ($size bytes)"

#!/usr/bin/env bash
# Sets up the machine, builds, starts the module emulator on a pseudo-terminal
# and runs detection against it continuously with every function: in the
# kyto-demo window where a display is available, else with the command line,
# which prints the result blocks. Stop with Ctrl+C (or close the window).
#   --gui   the window (fails without a display)
#   --cli   the command line, even with a display
#   --lan   the emulator behind its network adapter on 127.0.0.1 instead
set -euo pipefail
lan=0
mode=auto
while (($#)); do
    case $1 in
        --lan) lan=1 ;;
        --gui) mode=gui ;;
        --cli) mode=cli ;;
        *) break ;;
    esac
    shift
done
if [ "$mode" = auto ]; then
    if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then mode=gui; else mode=cli; fi
fi
# The demo's traffic stays on this machine (link/KytoSocket.h).
export KYTO_LOOPBACK_ONLY=1
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup-deps.sh
scripts/build.sh build/demo -DKYTO_TESTS=OFF -DKYTO_BENCH=OFF -DCMAKE_BUILD_TYPE=Release
bin=build/demo/bin
data=$(mktemp -d /tmp/kyto-demo.XXXXXX)

emu_out="$data/emu.out"
if ((lan)); then
    "$bin/kyto-emu" --seed 1 --tcp-listen 0 --udp-discovery 0 >"$emu_out" 2>"$data/emu.err" &
    lines=2
else
    "$bin/kyto-emu" --seed 1 >"$emu_out" 2>"$data/emu.err" &
    lines=1
fi
emu=$!
trap 'kill $emu 2>/dev/null || true; wait $emu 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    [ "$(wc -l <"$emu_out")" -ge "$lines" ] && break
    sleep 0.05
done
port=$(head -n1 "$emu_out")
lan_keys=""
if ((lan)); then
    # Discovery and configuration go to the emulator's adapter on 127.0.0.1.
    udp=$(sed -n 2p "$emu_out")
    lan_keys=$(printf 'DISCOVERYADDRESS=127.0.0.1\nDISCOVERYPORT=%s' "${udp##*:}")
    port=LAN
fi
# Connected at start with every function but Verify on (the window; the
# command line takes its port and functions from its options).
printf '[Application]\nCOMPortName=%s\nBaudRate=921600\nAutoConnect=1\n%s\n[ActiveFunction]\nFunction=1023\n' \
    "$port" "$lan_keys" >"$data/Application.ini"
echo "Emulator on $port; data folder $data" >&2
if [ "$mode" = gui ]; then
    "$bin/kyto-demo" --data-dir "$data" --continuous "$@"
else
    "$bin/kyto" --data-dir "$data" --port "$port" --baud 921600 \
        detect --continuous --functions all --image 320x240 "$@"
fi

#!/usr/bin/env bash
# Sets up the machine, builds, starts the module emulator on a pseudo-terminal
# and runs detection against it continuously with every function, printing
# the result blocks. Stop with Ctrl+C.
#   --lan   the emulator behind its network adapter on 127.0.0.1 instead
set -euo pipefail
lan=0
if [ "${1:-}" = --lan ]; then lan=1; shift; fi
# The demo's traffic stays on this machine (link/KytoSocket.h).
export KYTO_LOOPBACK_ONLY=1
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/setup-deps.sh
scripts/build.sh build/demo -DKYTO_TESTS=OFF -DKYTO_BENCH=OFF -DCMAKE_BUILD_TYPE=Release
bin=build/demo/bin
data=$(mktemp -d /tmp/kyto-demo.XXXXXX)
cp -r "$bin"/*.ini "$bin"/*.dat "$bin"/CmdInfo "$bin"/*.kyb "$data"/ 2>/dev/null || true

if [ ! -x "$bin/kyto-emu" ] || [ ! -x "$bin/kyto" ]; then
    echo "The emulator and the command line are not built yet; running the smoke program." >&2
    exec "$bin/kyto-smoke"
fi

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
if ((lan)); then
    # Discovery and configuration go to the emulator's adapter on 127.0.0.1.
    udp=$(sed -n 2p "$emu_out")
    printf '[Application]\nDISCOVERYADDRESS=127.0.0.1\nDISCOVERYPORT=%s\n' "${udp##*:}" \
        >"$data/Application.ini"
    port=LAN
fi
echo "Emulator on $port; data folder $data" >&2
"$bin/kyto" --data-dir "$data" --port "$port" --baud 921600 \
    detect --continuous --functions all --image 320x240 "$@"

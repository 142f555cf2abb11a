#!/usr/bin/env bash
# Frame rate and CPU time of `kyto detect --continuous` against kyto-emu with
# line timing at 921600 baud, for no image, 160x120 and 320x240, over the
# serial link (pseudo-terminal) and over the socket link (the emulator's
# network adapter on 127.0.0.1), next to the limit of each:
#  - serial: the wire time of each exchange rounded up to the 100 ms send
#    grid (a command may leave only on a whole multiple of 100 ms after the
#    previous one);
#  - socket: the wire time alone (the adapter's UART still runs at 921600
#    baud, but no send grid); "extra" is the measured frame time beyond it,
#    i.e. what the socket side, the protocol and the decoding add per frame.
#   bench/cli/detect_rate.sh [BIN_DIR] [SECONDS per image size, default 12] [serial|lan|both]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=${1:-$root/build/bench/bin}
secs=${2:-12}
links=${3:-both}
[ "$links" = both ] && links="serial lan"
if [ ! -x "$bin/kyto" ] || [ ! -x "$bin/kyto-emu" ]; then
    echo "build kyto and kyto-emu first (scripts/build.sh build/bench), or give BIN_DIR" >&2
    exit 2
fi
# Nothing here may leave 127.0.0.0/8 (link/KytoSocket.h).
export KYTO_LOOPBACK_ONLY=1
work=$(mktemp -d /tmp/kyto-bench.XXXXXX)
emu_pid=
stop_emulator() {
    if [ -n "$emu_pid" ]; then kill "$emu_pid" 2>/dev/null || true; wait "$emu_pid" 2>/dev/null || true; fi
    emu_pid=
}
cleanup() {
    stop_emulator
    rm -rf "$work"
}
trap cleanup EXIT

# Starts the emulator with these options; waits for its first LINES lines.
start_emulator() {
    local lines=$1; shift
    : >"$work/emu.out"
    "$bin/kyto-emu" --seed 1 "$@" >"$work/emu.out" 2>"$work/emu.err" &
    emu_pid=$!
    for _ in $(seq 100); do [ "$(wc -l <"$work/emu.out")" -ge "$lines" ] && break; sleep 0.05; done
}

ticks=$(getconf CLK_TCK)
printf '%-7s %-8s %8s %8s %7s %9s %9s %9s\n' link image fps limit "of lim" "extra ms" "cpu %" "frames"
for link in $links; do
    rm -rf "$work/data"
    mkdir -p "$work/data"
    if [ "$link" = serial ]; then
        start_emulator 1
        port=$(head -n1 "$work/emu.out")
    else
        start_emulator 2 --tcp-listen 0 --udp-discovery 0
        udp=$(sed -n 2p "$work/emu.out")
        printf '[Application]\nDISCOVERYADDRESS=127.0.0.1\nDISCOVERYPORT=%s\n' "${udp##*:}" \
            >"$work/data/Application.ini"
        port=LAN
    fi
    for image in none 160x120 320x240; do
        out="$work/$link-$image.json"
        "$bin/kyto" --data-dir "$work/data" --port "$port" --baud 921600 detect --continuous \
            --functions all --image "$image" --stabilization on --output json >"$out" 2>"$work/kyto.err" &
        pid=$!
        sleep 3  # connection and the first frames
        read -r u0 s0 < <(awk '{print $14, $15}' "/proc/$pid/stat")
        t0=$(date +%s.%N)
        sleep "$secs"
        read -r u1 s1 < <(awk '{print $14, $15}' "/proc/$pid/stat")
        t1=$(date +%s.%N)
        kill -INT "$pid"
        wait "$pid" || { echo "kyto failed:" >&2; cat "$work/kyto.err" >&2; exit 1; }
        python3 - "$out" "$link" "$image" "$u0" "$s0" "$u1" "$s1" "$t0" "$t1" "$ticks" <<'PY'
import json, math, sys
from datetime import datetime
path, link, image, u0, s0, u1, s1, t0, t1, ticks = sys.argv[1:]
frames = [json.loads(l) for l in open(path) if l.strip()]
ok = [f for f in frames if f["status"] == 0 and f["return_code"] == 0]
ok = ok[2:]  # the first frames run with the table time limit and a fresh scene
times = [datetime.fromisoformat(f["time"]).timestamp() for f in ok]
fps = (len(times) - 1) / (times[-1] - times[0]) if len(times) > 1 else 0.0
# Wire time of one exchange: request 7 bytes, response header 6 + detection
# data + image block; 10 bits per byte at 921600 baud.
last = ok[-1] if ok else {"bodies": [], "hands": [], "faces": []}
det = 4 + 8 * (len(last["bodies"]) + len(last["hands"])) + 39 * len(last["faces"])
img = {"none": 0, "160x120": 4 + 160 * 120, "320x240": 4 + 320 * 240}[image]
wire_ms = (7 + 6 + det + img) * 10 / 921600 * 1000
period = 100 * math.ceil(wire_ms / 100 + 1e-9) if link == "serial" else wire_ms
limit = 1000 / period
extra = (1000 / fps - period) if fps > 0 else float("nan")
cpu = ((int(u1) + int(s1)) - (int(u0) + int(s0))) / int(ticks)
wall = float(t1) - float(t0)
print(f"{link:<7} {image:<8} {fps:8.3f} {limit:8.3f} {100 * fps / limit:6.1f}% {extra:9.2f} "
      f"{100 * cpu / wall:8.2f}% {len(ok):9d}")
PY
    done
    stop_emulator
done
echo "(fps over the successful frames after the first two; extra = measured frame time minus the"
echo " limit's period; cpu = user+system time of kyto over ${secs} s)"

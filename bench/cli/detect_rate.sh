#!/usr/bin/env bash
# Frame rate and CPU time of `kyto detect --continuous` against kyto-emu with
# line timing at 921600 baud, for no image, 160x120 and 320x240, next to the
# limit set by the wire time of each exchange and the 100 ms send grid of the
# serial link (a command may leave only on a whole multiple of 100 ms after
# the previous one).
#   bench/cli/detect_rate.sh [BIN_DIR] [SECONDS per image size, default 12]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=${1:-$root/build/bench/bin}
secs=${2:-12}
if [ ! -x "$bin/kyto" ] || [ ! -x "$bin/kyto-emu" ]; then
    echo "build kyto and kyto-emu first (scripts/build.sh build/bench), or give BIN_DIR" >&2
    exit 2
fi
work=$(mktemp -d /tmp/kyto-bench.XXXXXX)
emu_pid=
cleanup() {
    if [ -n "$emu_pid" ]; then kill "$emu_pid" 2>/dev/null || true; wait "$emu_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

"$bin/kyto-emu" --seed 1 >"$work/emu.out" 2>"$work/emu.err" &
emu_pid=$!
for _ in $(seq 100); do [ -s "$work/emu.out" ] && break; sleep 0.05; done
port=$(head -n1 "$work/emu.out")
ticks=$(getconf CLK_TCK)

printf '%-8s %8s %8s %7s %9s %9s\n' image fps limit "of lim" "cpu %" "frames"
for image in none 160x120 320x240; do
    out="$work/$image.json"
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
    python3 - "$out" "$image" "$u0" "$s0" "$u1" "$s1" "$t0" "$t1" "$ticks" <<'PY'
import json, math, sys
from datetime import datetime
path, image, u0, s0, u1, s1, t0, t1, ticks = sys.argv[1:]
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
period = 100 * math.ceil(wire_ms / 100 + 1e-9)
limit = 1000 / period
cpu = ((int(u1) + int(s1)) - (int(u0) + int(s0))) / int(ticks)
wall = float(t1) - float(t0)
print(f"{image:<8} {fps:8.3f} {limit:8.3f} {100 * fps / limit:6.1f}% {100 * cpu / wall:8.2f}% {len(ok):9d}")
PY
done
echo "(fps over the successful frames after the first two; cpu = user+system time of kyto over ${secs} s)"

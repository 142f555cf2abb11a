#!/usr/bin/env bash
# Memory of the whole kyto-demo process over a long continuous run: the
# result pane keeps its block limit and the image panel holds one frame, so
# the resident set must stay flat once the first blocks are in. Runs on a
# virtual X server against kyto-emu, samples VmRSS every few seconds and
# prints it at start, after warm-up and at the end, with the frame count.
#   bench/app/demo_memory.sh [BIN_DIR] [SECONDS, default 120] [fast]
# "fast" runs the emulator without line timing, so more frames pass in the
# same time (an hour at the 921600 baud limit is about 4000 frames); give
# 3600 without "fast" for the real hour.  KEEP=1 keeps the work folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=${1:-$root/build/bench/bin}
secs=${2:-120}
mode=${3:-}
for p in kyto-demo kyto-emu; do
    [ -x "$bin/$p" ] || { echo "build $p first (scripts/build.sh build/bench), or give BIN_DIR" >&2; exit 2; }
done
command -v xvfb-run >/dev/null || { echo "needs xvfb-run (Debian package xvfb)" >&2; exit 2; }
export KYTO_LOOPBACK_ONLY=1
work=$(mktemp -d /tmp/kyto-demo-mem.XXXXXX)
emu_pid=
demo_pid=
runner=
cleanup() {
    [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
    [ -n "$emu_pid" ] && kill "$emu_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
emu_opts=(--seed 1 --verbose --exit-with-parent)
[ "$mode" = fast ] && emu_opts+=(--no-line-timing)

mkdir -p "$work/data"
"$bin/kyto-emu" "${emu_opts[@]}" >"$work/emu.out" 2>"$work/emu.err" &
emu_pid=$!
for _ in $(seq 100); do [ -s "$work/emu.out" ] && break; sleep 0.05; done
port=$(head -n1 "$work/emu.out")
printf '[Application]\nCOMPortName=%s\nBaudRate=921600\nAutoConnect=1\n[ActiveFunction]\nFunction=1023\n' \
    "$port" >"$work/data/Application.ini"
xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/kyto-demo" --data-dir "$work/data" \
    --quit-after $(((secs + 10) * 1000)) --continuous >"$work/demo.log" 2>&1 &
runner=$!
for _ in $(seq 200); do
    demo_pid=$(pgrep -n -x kyto-demo || true)
    [ -n "$demo_pid" ] && break
    sleep 0.05
done
[ -n "$demo_pid" ] || { echo "kyto-demo did not start" >&2; cat "$work/demo.log" >&2; exit 1; }

rss() { awk '/^VmRSS:/ {print $2}' "/proc/$demo_pid/status" 2>/dev/null || echo 0; }
frames() { grep -c -E "command 0x0[34] " "$work/emu.err" || true; }
step=5
warm=$((secs / 10 > 20 ? secs / 10 : 20))
sleep 3
start_kb=$(rss); start_f=$(frames)
: >"$work/rss.txt"
t=0
while ((t < secs)); do
    sleep "$step"
    t=$((t + step))
    echo "$t $(frames) $(rss)" >>"$work/rss.txt"
done
end_kb=$(rss); end_f=$(frames)
wait "$runner" || true
demo_pid=
python3 - "$start_kb" "$start_f" "$end_kb" "$end_f" "$warm" "$work/rss.txt" <<'PY'
import sys
start_kb, start_f, end_kb, end_f, warm = map(int, sys.argv[1:6])
rows = [tuple(map(int, l.split())) for l in open(sys.argv[6]) if l.strip()]
after = [r for r in rows if r[0] >= warm] or rows
w = after[0]
peak = max(r[2] for r in after)
low = min(r[2] for r in after)
print(f"start      {start_kb / 1024:8.1f} MB  (frame {start_f})")
print(f"warm-up    {w[2] / 1024:8.1f} MB  (after {w[0]} s, frame {w[1]})")
print(f"end        {end_kb / 1024:8.1f} MB  (frame {end_f})")
print(f"after warm-up: min {low / 1024:.1f} MB, max {peak / 1024:.1f} MB, "
      f"spread {(peak - low) / 1024:.1f} MB, end - warm-up {(end_kb - w[2]) / 1024:+.1f} MB "
      f"over {end_f - w[1]} frames")
PY

#!/usr/bin/env bash
# Frame rate and CPU of the whole kyto-demo process (decoding, stabilisation,
# painting, the result pane and the daily log) on a virtual X server against
# kyto-emu with line timing at 921600 baud, 320x240 images, every function but
# Verify on; then the same program connected and idle. The limit is the wire
# time of one exchange rounded up to the 100 ms send grid, as in
# bench/cli/detect_rate.sh.
#   bench/app/demo_rate.sh [BIN_DIR] [SECONDS, default 20]
# KEEP=1 keeps the work folder; PERF=1 also records a perf profile of each
# run there (perf-continuous.data, perf-idle.data).
# Frames are counted from the emulator's request log, so a short run is
# coarse by one frame in its count: use 60 s or more for the 99 % question.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=${1:-$root/build/bench/bin}
secs=${2:-20}
for p in kyto-demo kyto-emu; do
    [ -x "$bin/$p" ] || { echo "build $p first (scripts/build.sh build/bench), or give BIN_DIR" >&2; exit 2; }
done
command -v xvfb-run >/dev/null || { echo "needs xvfb-run (Debian package xvfb)" >&2; exit 2; }
export KYTO_LOOPBACK_ONLY=1
work=$(mktemp -d /tmp/kyto-demo-bench.XXXXXX)
emu_pid=
demo_pid=
cleanup() {
    [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
    [ -n "$emu_pid" ] && kill "$emu_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
ticks=$(getconf CLK_TCK)

# The kyto-demo process under xvfb-run: the child of the runner started
# below, so another kyto-demo on the machine is never measured instead.
find_demo() {  # find_demo RUNNER_PID
    for _ in $(seq 200); do
        demo_pid=$(pgrep -n -x kyto-demo -P "$1" 2>/dev/null || true)
        [ -n "$demo_pid" ] && return 0
        sleep 0.05
    done
    return 1
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# Context switches of all its threads: every wake-up costs, so they say
# whether a thread is woken for nothing.
# Printed as tid:count pairs, so threads that end in between do not count.
switches() {
    for t in /proc/"$1"/task/*; do
        awk -v t="${t##*/}" '/ctxt_switches/ {s += $2} END {printf "%s:%d,", t, s}' "$t/status" 2>/dev/null || true
    done
}
# Execute requests the emulator has logged so far.
frames() { grep -c -E "command 0x0[34] " "$work/emu.err" || true; }

run() {  # run NAME [kyto-demo options...]
    local name=$1; shift
    rm -rf "$work/data" && mkdir -p "$work/data"
    : >"$work/emu.out"
    "$bin/kyto-emu" --seed 1 --verbose --exit-with-parent >"$work/emu.out" 2>"$work/emu.err" &
    emu_pid=$!
    for _ in $(seq 100); do [ -s "$work/emu.out" ] && break; sleep 0.05; done
    local port
    port=$(head -n1 "$work/emu.out")
    printf '[Application]\nCOMPortName=%s\nBaudRate=921600\nAutoConnect=1\n[ActiveFunction]\nFunction=1023\n' \
        "$port" >"$work/data/Application.ini"
    xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/kyto-demo" --data-dir "$work/data" \
        --quit-after $(((secs + 8) * 1000)) "$@" >"$work/demo.log" 2>&1 &
    local runner=$!
    find_demo "$runner" || { echo "kyto-demo did not start" >&2; cat "$work/demo.log" >&2; exit 1; }
    sleep 5  # connection, the album check and the first frames
    local c0 f0 t0 w0 c1 f1 t1 w1
    c0=$(cpu_ticks "$demo_pid"); f0=$(frames); t0=$(date +%s.%N); w0=$(switches "$demo_pid")
    if [ -n "${PERF:-}" ] && command -v perf >/dev/null; then
        # Where the time goes (kernel included): PERF=1 keeps a profile per run.
        perf record -q -F 499 -g -p "$demo_pid" -o "$work/perf-$name.data" -- sleep "$secs" \
            >/dev/null 2>&1 || sleep "$secs"
    else
        sleep "$secs"
    fi
    c1=$(cpu_ticks "$demo_pid"); f1=$(frames); t1=$(date +%s.%N)
    w1=$(switches "$demo_pid")
    wait "$runner" || true
    demo_pid=
    kill "$emu_pid" 2>/dev/null || true
    wait "$emu_pid" 2>/dev/null || true
    emu_pid=
    python3 - "$name" "$c0" "$c1" "$f0" "$f1" "$t0" "$t1" "$ticks" "$w0" "$w1" <<'PY'
import math, sys
name, c0, c1, f0, f1, t0, t1, ticks, w0, w1 = sys.argv[1:]
wall = float(t1) - float(t0)
cpu = (int(c1) - int(c0)) / int(ticks) / wall * 100
def per_thread(text):
    return {k: int(v) for k, v in (p.split(":") for p in text.split(",") if p)}
s0, s1 = per_thread(w0), per_thread(w1)
wakes = sum(s1[t] - s0[t] for t in s1 if t in s0) / wall
fps = (int(f1) - int(f0)) / wall
# 3 people at seed 1: 3 bodies, up to 6 hands, 3 faces; image block 4 + 320*240.
wire_ms = (7 + 6 + 4 + 8 * 9 + 39 * 3 + 4 + 320 * 240) * 10 / 921600 * 1000
limit = 1000 / (100 * math.ceil(wire_ms / 100))
if name == "idle":
    print(f"{name:<11} cpu {cpu:6.3f}% of one core over {wall:.1f} s, {wakes:.1f} context switches/s")
else:
    print(f"{name:<11} {fps:6.3f} fps (limit {limit:.3f}, {100 * fps / limit:5.1f}%)  "
          f"cpu {cpu:6.2f}% of one core over {wall:.1f} s, {wakes:.0f} context switches/s")
PY
}

run continuous --continuous
run idle

#!/usr/bin/env bash
# Album transfer time at a baud rate against its wire time: a full album
# area (1000 face data, 816,032 bytes) is saved from kyto-emu with line
# timing (`kyto album save`) and loaded back (`kyto album load`); the frame
# trace gives each transfer's time from the command leaving to the answer
# being complete, next to the wire time of the bytes both ways (10 bits a
# byte). It also prints how often the Album tab's progress bar steps while a
# transfer runs: that half of the bar follows the wire time of a whole album
# area (app/AlbumJobs.h), one percent per fiftieth of it.
# On the emulator's pseudo-terminal only the module's answers keep the line
# rate: a load's upload goes at the speed of the pty, so its time says
# nothing about the wire (shown for completeness).
#   bench/album/transfer_rate.sh [BIN_DIR] [BAUD, default 921600]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=${1:-$root/build/bench/bin}
baud=${2:-921600}
if [ ! -x "$bin/kyto" ] || [ ! -x "$bin/kyto-emu" ]; then
    echo "build kyto and kyto-emu first (scripts/build.sh build/bench), or give BIN_DIR" >&2
    exit 2
fi
export KYTO_LOOPBACK_ONLY=1
work=$(mktemp -d /tmp/kyto-album-bench.XXXXXX)
emu_pid=
cleanup() {
    if [ -n "$emu_pid" ]; then kill "$emu_pid" 2>/dev/null || true; wait "$emu_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
[ -n "${KEEP:-}" ] && trap - EXIT

# The module's flash: album type 2 (1000 IDs with one datum each), every ID
# registered, in the emulator's album block layout, as a .kyb file.
python3 - "$work/flash.kyb" <<'EOF'
import struct, sys, zlib
entries = 1000
block = bytearray(32 + 816 * entries)
block[0:4] = b"KEAL"
struct.pack_into("<HBB", block, 4, 1, 2, 0)
struct.pack_into("<II", block, 8, entries, 816)
for e in range(entries):
    at = 32 + 816 * e
    struct.pack_into("<HBBI", block, at, e, 0, 0, 5000 + e)
    block[at + 8:at + 816] = bytes(((k * 7 + e) & 0xFF) for k in range(808))
struct.pack_into("<I", block, 16, zlib.crc32(bytes(block)) & 0xFFFFFFFF)
with open(sys.argv[1], "wb") as f:
    f.write(struct.pack("<IB3x", len(block), 2) + bytes(block))
EOF

"$bin/kyto-emu" --people 0 --album-type 2 --state "$work/flash.kyb" >"$work/emu.out" 2>"$work/emu.err" &
emu_pid=$!
for _ in $(seq 100); do [ -s "$work/emu.out" ] && break; sleep 0.05; done
port=$(head -n1 "$work/emu.out")
mkdir -p "$work/data"

run() {  # run NAME kyto-arguments...: the trace of the run in $work/NAME.trace
    local name=$1; shift
    "$bin/kyto" --data-dir "$work/data" --port "$port" --baud "$baud" \
        --trace "$work/$name.trace" album "$@" >"$work/$name.out" 2>"$work/$name.err" ||
        { echo "kyto album $* failed:" >&2; cat "$work/$name.err" >&2; exit 1; }
}
run add add --id 0
run save save "$work/full.kyl"
run load load "$work/full.kyl"

printf '%-6s %10s %10s %10s %8s %14s\n' transfer bytes "wire s" "took s" "of wire" "bar step ms"
for pair in "save:Save Album:SaveAlbum" "load:Load Album:LoadAlbum"; do
    IFS=: read -r name command _ <<<"$pair"
    python3 - "$work/$name.trace" "$command" "$baud" <<'EOF'
import json, sys
trace, command, baud = sys.argv[1], sys.argv[2], int(sys.argv[3])
area_ms = -(-(6 + 8 + 816032) * 10 * 1000 // baud)
rows = [json.loads(line) for line in open(trace)]
sent = next(r for r in rows if r["command"] == command and r["direction"] == "send")
back = next(r for r in rows if r["command"] == command and r["direction"] == "receive"
            and r["time_ms"] >= sent["time_ms"])
size = sent["length"] + back["length"]
wire = size * 10 / baud
took = (back["time_ms"] - sent["time_ms"]) / 1000
print("%-8s %10d %10.3f %10.3f %7.2f%% %14.0f" %
      (command.split()[0].lower(), size, wire, took, 100 * took / wire, area_ms / 50))
EOF
done

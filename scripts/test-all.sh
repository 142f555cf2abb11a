#!/usr/bin/env bash
# Sets up the machine and runs every test: a warning-free optimised (Release)
# build with its tests, a smoke start of kyto-demo under a virtual X server, the Debian package made from it installed, run and
# removed (scripts/package-check.sh), the same tests under AddressSanitizer +
# UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, and a
# short run of every fuzz target.
#   --quick       only the Release build and its tests
#   --fuzz-secs N seconds per fuzz target (default 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
quick=0
fuzz_secs=20
while (($#)); do
    case $1 in
        --quick) quick=1 ;;
        --fuzz-secs) fuzz_secs=$2; shift ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
    shift
done

scripts/setup-deps.sh
# Nothing this run starts may send traffic beyond 127.0.0.0/8 (link/KytoSocket.h).
export KYTO_LOOPBACK_ONLY=1
start=$(date +%s)
stage() { echo; echo "=== $* ($(($(date +%s) - start)) s)"; }
# ctest prints its own summary line; keep the output readable in CI logs.
summary=$(mktemp)
run_ctest() {
    local dir=$1; shift
    local rc=0
    (cd "$dir" && ctest --output-on-failure --timeout 600 -j2 "$@") >"$dir/ctest.log" 2>&1 || rc=$?
    cat "$dir/ctest.log"
    grep -E "tests passed, [0-9]+ tests? failed out of" "$dir/ctest.log" | tail -1 >>"$summary" || true
    return "$rc"
}
# One closing line over every stage: "N passed, N failed".
finish() {
    awk '{ for (i = 1; i <= NF; i++) if ($i == "out") { total += $(i + 2); failed += $(i - 3) } }
         END { printf "tests: %d passed, %d failed\n", total - failed, failed }' "$summary"
}

# Release rather than the default RelWithDebInfo: -O3 brings warnings of its
# own, and the sanitizer stage below covers the Debug flavour.
stage "Release build (-Wall -Wextra -Werror)"
scripts/build.sh build/ci -DCMAKE_BUILD_TYPE=Release
run_ctest build/ci

# The real program on a virtual X server against the emulator, with a
# screenshot of its main window (kept as build/ci/kyto-demo-smoke.png).
stage "kyto-demo smoke start (xvfb)"
if [ -x build/ci/bin/kyto-demo ]; then
    smoke_rc=0
    scripts/smoke-demo.sh build/ci/bin build/ci/kyto-demo-smoke.png || smoke_rc=$?
    if [ "$smoke_rc" = 0 ]; then
        echo "100% tests passed, 0 tests failed out of 1" >>"$summary"
    else
        echo "0% tests passed, 1 tests failed out of 1" >>"$summary"
        finish
        exit 1
    fi
fi

if ((quick)); then finish; exit 0; fi

stage "Debian package: build, install, run, remove"
scripts/package-check.sh build/ci

stage "AddressSanitizer + UndefinedBehaviorSanitizer"
scripts/build.sh build/ci-asan -DKYTO_SANITIZE=address,undefined -DKYTO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_ctest build/ci-asan

stage "ThreadSanitizer (threaded tests)"
scripts/build.sh build/ci-tsan -DKYTO_SANITIZE=thread -DKYTO_BENCH=OFF -DKYTO_GUI=OFF -DCMAKE_BUILD_TYPE=Debug
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run_ctest build/ci-tsan -L threaded

stage "fuzz targets (${fuzz_secs} s each)"
scripts/build.sh build/ci-fuzz -DKYTO_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
shopt -s nullglob
fuzzers=(build/ci-fuzz/bin/fuzz_*)
for f in "${fuzzers[@]}"; do
    name=$(basename "$f")
    corpus=build/ci-fuzz/corpus/$name
    mkdir -p "$corpus"
    seeds=()
    [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
    echo "--- $name"
    "$f" -max_total_time="$fuzz_secs" -rss_limit_mb=2048 -print_final_stats=0 "$corpus" "${seeds[@]}" \
        >"build/ci-fuzz/$name.log" 2>&1 || { tail -50 "build/ci-fuzz/$name.log"; exit 1; }
    grep -E "^(#[0-9]+\s+DONE|Done)" "build/ci-fuzz/$name.log" | tail -1 || true
done
echo "fuzz: ${#fuzzers[@]} targets ran ${fuzz_secs} s each without a finding"
stage "all done"
finish

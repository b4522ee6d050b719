#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang, libFuzzer, AddressSanitizer and UndefinedBehavior-
# Sanitizer, and runs them, a few at a time, each from the committed corpus (copied: what the run
# finds stays in the work folder). Findings (crash-*, oom-*, timeout-* files) are left in
# WORK/<target>/ with the fuzzer's log beside them.
#
#   scripts/fuzz.sh [SECONDS=300] [TARGET...]
#
# Environment: FUZZ_DIR (the build folder, build-fuzz), FUZZ_WORK (work folder, build-fuzz/runs),
# FUZZ_PARALLEL (targets run at once, 3), FUZZ_JOBS (build jobs, 3). Install clang and the libFuzzer
# runtime first: KIVORA_FUZZ=1 bash scripts/install-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(jpeg png gif tiff icc video text_import project line_diff)
fi
build=${FUZZ_DIR:-build-fuzz}
work=${FUZZ_WORK:-$build/runs}
parallel=${FUZZ_PARALLEL:-3}

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKIVORA_FUZZ=ON -DKIVORA_BUILD_TESTS=OFF -DKIVORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "${FUZZ_JOBS:-3}" --target "${targets[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The gate's promises as the fuzzer's limits: no allocation request above 1.7 GB, 2.5 GB resident
# at most, and no input that takes longer than 25 s (the limits aim at 3 s of CPU; the sanitizers
# slow the code several times over). Each input runs in a child process, so a finding is saved and
# the run goes on to the end of its time.
run_target() {
    local name=$1
    mkdir -p "$work/$name/corpus"
    cp -n fuzz/corpus/"$name"/* "$work/$name/corpus/" 2>/dev/null || true
    (cd "$work/$name" && "../../fuzz/fuzz_$name" -fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1 \
        -max_total_time="$seconds" -malloc_limit_mb=1700 -rss_limit_mb=2560 -timeout=25 corpus >fuzz.log 2>&1)
    local findings
    findings=$(find "$work/$name" -maxdepth 1 \( -name 'crash-*' -o -name 'oom-*' -o -name 'timeout-*' -o -name 'leak-*' \) | wc -l)
    if [ "$findings" -eq 0 ]; then
        echo "fuzz_$name: no finding in ${seconds}s"
    else
        echo "fuzz_$name: $findings finding(s) in $work/$name (log: fuzz.log)"
    fi
}
running=0
for name in "${targets[@]}"; do
    run_target "$name" &
    running=$((running + 1))
    if [ "$running" -ge "$parallel" ]; then
        wait -n
        running=$((running - 1))
    fi
done
wait

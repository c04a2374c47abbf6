#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz/ with clang into build-fuzz/ and runs each of them on
# its seed corpus for the given number of seconds (default 10).  Fails on the first finding: a
# crash, a sanitizer report, a broken property check, a leak or an input that takes too long.
# Installs nothing: scripts/install-deps.sh brings clang and its fuzzer runtime.
#
#   scripts/fuzz.sh            the short run the test command makes, 10 s a target
#   scripts/fuzz.sh 3600       the long run: an hour a target
#   scripts/fuzz.sh 600 fuzz_wav    only the targets named
#
# What a run finds grows a working corpus in build-fuzz/corpus/<target>/, which the next run
# starts from (the seeds in tests/fuzz/corpus/ stay as they are).  A finding is written to
# build-fuzz/findings/ as the input that caused it: reproduce it with
# `build-fuzz/<target> build-fuzz/findings/<file>`, and add it to the target's seed corpus
# once mended.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-10}
shift $(( $# > 0 ? 1 : 0 ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_strtoint fuzz_image fuzz_wav fuzz_logfile fuzz_settingsfile)
out=$here/build-fuzz

cmake -S "$here/tests/fuzz" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$out" -j"$(nproc)" --target "${targets[@]}"

mkdir -p "$out/findings"
for t in "${targets[@]}"; do
    seeds=$here/tests/fuzz/corpus/$t
    work=$out/corpus/$t
    mkdir -p "$work"
    dict=()
    [ -e "$here/tests/fuzz/$t.dict" ] && dict=(-dict="$here/tests/fuzz/$t.dict")
    echo "== $t: ${seconds} s"
    log=$out/$t.log
    if ! "$out/$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 "${dict[@]}" \
            -artifact_prefix="$out/findings/$t-" "$work" "$seeds" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "== $t: FINDING (whole output in $log)" >&2
        exit 1
    fi
    grep -E '^Done [0-9]+ runs' "$log" || true
done

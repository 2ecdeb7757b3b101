#!/bin/sh
# Times ombrel and tillany as whole processes on the largest files they read
# (ToT 1.1 games with four maps of 65535 tiles, about 3.4 MB each), next to
# programs that only read the same files, and reports peak memory.
#
#   bench/compare.sh [BUILD_DIR]     (default build/bench, a Release build)
#
# Baselines:
#   ombrel FILE X Y       against  cat FILE > /dev/null
#   tillany FILE COPY     against  cmp FILE COPY       identical files: cmp
#                                                      reads both to the end
#   tillany FILE OTHER    against  cmp -l FILE OTHER   files differing in map 0:
#                                                      cmp -l reads both to the
#                                                      end and lists every
#                                                      difference (plain cmp
#                                                      stops at the first)
# Each program is also timed next to read_files, which only reads the same
# files whole into memory: not a target, but it shows what holding the files
# in memory costs by itself on the machine at hand.
# The programs and cmp write to a regular file: cmp notices an output of
# /dev/null and then stops at the first difference.
# Each time is the median of SAMPLES samples of RUNS runs each (environment
# variables, default 15 and 10), the samples of a program and its baseline
# taken in turn; on a busy machine raise them.
# Targets: each program within 1.5 times its baseline; peak memory below the
# size of the files it reads plus 4 MB. The exit status is 1 if one is missed.
# Commands are passed around as strings and split at blanks on purpose, so
# globbing is off; paths with blanks are not supported.
# shellcheck disable=SC2086,SC2046
set -euf
cd "$(dirname "$0")/.."
build=${1:-build/bench}
SAMPLES=${SAMPLES:-15}
RUNS=${RUNS:-10}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCIV2_BUILD_TESTS=OFF -DCIV2_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target ombrel tillany make_bench_files read_files -j2 >/dev/null
ombrel=$build/ombrel/ombrel
tillany=$build/tillany/tillany
read_files=$build/bench/read_files

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_bench_files" "$work"
file=$work/large.sav
other=$work/large-cities.sav
copy=$work/large-copy.sav
cp "$file" "$copy"
out=$work/output
# Read once so that every command finds the files in the page cache.
cat "$file" "$other" "$copy" >/dev/null

# sample_us SINK COMMAND...: wall time of one run, averaged over RUNS runs,
# in microseconds.
sample_us() {
    sink=$1
    shift
    start=$(date +%s%N)
    run=0
    while [ $run -lt "$RUNS" ]; do
        "$@" >"$sink" 2>&1 || true
        run=$((run + 1))
    done
    end=$(date +%s%N)
    echo $(((end - start) / RUNS / 1000))
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# time_pair SINK1 "COMMAND1" SINK2 "COMMAND2": median times of both, in
# microseconds, as "T1 T2". Samples of the two alternate, so that a machine
# busy with other work slows both alike. Commands are split at blanks.
time_pair() {
    : >"$work/times1"
    : >"$work/times2"
    sample=0
    while [ $sample -lt "$SAMPLES" ]; do
        sample_us "$1" $2 >>"$work/times1"
        sample_us "$3" $4 >>"$work/times2"
        sample=$((sample + 1))
    done
    echo "$(median <"$work/times1") $(median <"$work/times2")"
}

# peak_kb SINK COMMAND...: peak resident memory of one run, in KB (the
# command split at blanks).
peak_kb() {
    sink=$1
    shift
    /usr/bin/time -o "$work/peak" -f '%M' "$@" >"$sink" 2>&1 || true
    tail -n 1 "$work/peak"
}

kb_of() {
    echo $((($(wc -c <"$1") + 1023) / 1024))
}

ms() {
    awk -v us="$1" 'BEGIN { printf "%.2f", us / 1000 }'
}

failures=0
# report NAME TIME PEAK BASELINE_NAME BASELINE_TIME BASELINE_PEAK INPUT_KB
report() {
    ratio=$(awk -v t="$2" -v b="$5" 'BEGIN { printf "%.2f", t / b }')
    limit=$(($7 + 4096))
    printf '  %-22s %7s ms %7s KB peak\n' "$1" "$(ms "$2")" "$3"
    printf '  %-22s %7s ms %7s KB peak\n' "$4" "$(ms "$5")" "$6"
    verdict=ok
    if awk -v r="$ratio" 'BEGIN { exit !(r > 1.5) }'; then
        verdict=MISSED
        failures=$((failures + 1))
    fi
    echo "  time: ${ratio}x the baseline (target 1.5x): $verdict"
    verdict=ok
    if [ "$3" -ge "$limit" ]; then
        verdict=MISSED
        failures=$((failures + 1))
    fi
    echo "  memory: $3 KB for $7 KB of files (target below $limit KB): $verdict"
}

size=$(kb_of "$file")
echo "Files: ToT 1.1 games, 4 maps of 65535 tiles, $size KB each."
echo "Times: median of $SAMPLES samples of $RUNS runs."
echo

# measure NAME SINK "COMMAND" BASELINE_NAME BASELINE_SINK "BASELINE_COMMAND" INPUT_KB "FILES"
measure() {
    set -- "$@" $(time_pair "$2" "$3" "$5" "$6")
    report "$1" "$9" "$(peak_kb "$2" $3)" "$4" "${10}" "$(peak_kb "$5" $6)" "$7"
    # Not a target: the share of the time that holding the files in memory
    # costs by itself, whatever reads them.
    set -- "$@" $(time_pair "$2" "$3" "$out" "$read_files $8")
    echo "  for reference, timed in turn: $1 $(ms "${11}") ms, read_files on the same files $(ms "${12}") ms:" \
        "$(awk -v t="${11}" -v b="${12}" 'BEGIN { printf "%.2f", t / b }')x"
    echo
}

echo "ombrel FILE 255 129"
measure ombrel "$out" "$ombrel $file 255 129" "cat FILE > /dev/null" /dev/null "cat $file" "$size" "$file"

echo "tillany FILE COPY (identical)"
measure tillany "$out" "$tillany $file $copy" "cmp FILE COPY" "$out" "cmp $file $copy" $((2 * size)) "$file $copy"

echo "tillany FILE OTHER ($("$tillany" "$file" "$other" | tail -n 1))"
measure tillany "$out" "$tillany $file $other" "cmp -l FILE OTHER" "$out" "cmp -l $file $other" $((2 * size)) \
    "$file $other"

[ "$failures" -eq 0 ]

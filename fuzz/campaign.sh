#!/usr/bin/env bash
# A fuzz campaign: each libFuzzer target in turn, one at a time, until it has
# run RUNS inputs or SECONDS have passed, starting from its committed seeds and
# dictionary. Afterwards the seeds (fuzz/seeds/TARGET) are made anew as the
# seeds written by hand plus the smallest set of inputs that keeps the coverage
# of the old seeds and of the campaign's corpus, so CI's bounded runs start
# from them.
#
#   fuzz/campaign.sh [-b BUILD_DIR] [-r RUNS] [-t SECONDS] [--no-merge] [TARGET ...]
#
# BUILD_DIR is a clang build with -DMURKWELL_SANITIZE=ON -DMURKWELL_FUZZ=ON
# (default build-fuzz). Without targets, every fuzz/*_fuzz.cpp runs. Each
# target's log, working corpus and any crashing input go to
# BUILD_DIR/campaign/TARGET/; one line per target is appended to
# BUILD_DIR/campaign/summary.tsv: target, executions, seconds, exec/s, coverage
# (edges), features, corpus size, peak RSS, result. A crash stops that target
# (the input is kept as crash-*, leak-* or timeout-*) and the campaign goes on.
# The fuzzers run under `nice`: the machine is shared.
set -uo pipefail
cd "$(dirname "$0")/.."

build=build-fuzz
runs=10000000
seconds=3600
merge=1
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
    -b) build=$2; shift 2 ;;
    -r) runs=$2; shift 2 ;;
    -t) seconds=$2; shift 2 ;;
    --no-merge) merge=0; shift ;;
    -h|--help) sed -n '2,17p' "$0"; exit 0 ;;
    -*) echo "campaign: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
    esac
done
if [ ${#targets[@]} -eq 0 ]; then
    for f in fuzz/*_fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi

out=$build/campaign
mkdir -p "$out"
[ -f "$out/summary.tsv" ] ||
    printf 'target\texecs\tseconds\texec_per_s\tcov\tft\tcorpus\trss_mb\tresult\n' > "$out/summary.tsv"

for t in "${targets[@]}"; do
    bin=$build/fuzz/$t
    if [ ! -x "$bin" ]; then
        echo "campaign: $bin is not built" >&2
        continue
    fi
    dir=$out/$t
    mkdir -p "$dir/corpus"
    [ -d "fuzz/seeds/$t" ] && cp -n fuzz/seeds/"$t"/* "$dir/corpus/" 2>/dev/null
    dict=()
    [ -f "fuzz/dicts/$t.dict" ] && dict=(-dict="fuzz/dicts/$t.dict")
    echo "campaign: $t (at most $runs runs or $seconds s)"
    start=$(date +%s)
    nice -n 10 "$bin" -runs="$runs" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$dir/" "${dict[@]}" "$dir/corpus" \
        > "$dir/log" 2>&1
    status=$?
    elapsed=$(( $(date +%s) - start ))
    result=clean
    if [ $status -ne 0 ]; then
        result="found (exit $status): $(ls "$dir" | grep -E '^(crash|leak|timeout|oom|slow-unit)-' | tr '\n' ' ')"
    fi
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log" | tail -1)
    # libFuzzer's own figure is 0 for runs under a second.
    [ -n "$execs" ] && [ "$elapsed" -gt 0 ] && rate=$(( execs / elapsed ))
    rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$dir/log" | tail -1)
    last=$(grep -E '^#[0-9]+' "$dir/log" | tail -1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    corp=$(sed -n 's/.* corp: \([0-9]*\/[0-9a-zA-Z]*\).*/\1/p' <<<"$last")
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$t" "${execs:-?}" "$elapsed" "${rate:-?}" \
        "${cov:-?}" "${ft:-?}" "${corp:-?}" "${rss:-?}" "$result" >> "$out/summary.tsv"
    echo "campaign: $t: ${execs:-?} runs in ${elapsed} s, cov ${cov:-?}, $result"

    if [ $merge -eq 1 ] && [ $status -eq 0 ]; then
        # The committed seeds become the smallest set libFuzzer finds that
        # reaches every edge the old seeds and this campaign's corpus reach
        # (hit counts left out, so the set stays small). Seeds written by hand
        # (any name but a 40-digit hash) always stay and count as reached
        # first; CI starts from the lot.
        mkdir -p "fuzz/seeds/$t"
        before=$(ls "fuzz/seeds/$t" | wc -l)
        rm -rf "$dir/minimal" && mkdir -p "$dir/minimal"
        find "fuzz/seeds/$t" -maxdepth 1 -type f -regextype posix-extended ! -regex '.*/[0-9a-f]{40}' -exec cp {} "$dir/minimal/" \;
        if nice -n 10 "$bin" -merge=1 -use_counters=0 -rss_limit_mb=2048 "${dict[@]}" \
               "$dir/minimal" "fuzz/seeds/$t" "$dir/corpus" > "$dir/merge.log" 2>&1; then
            find "fuzz/seeds/$t" -maxdepth 1 -type f -regextype posix-extended -regex '.*/[0-9a-f]{40}' -delete
            cp -n "$dir"/minimal/* "fuzz/seeds/$t/"
        else
            echo "campaign: $t: the merge failed, seeds kept (see $dir/merge.log)" >&2
        fi
        after=$(ls "fuzz/seeds/$t" | wc -l)
        echo "campaign: $t: seeds $before -> $after ($(du -sk --apparent-size "fuzz/seeds/$t" | cut -f1) KiB)"
    fi
done

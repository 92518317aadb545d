#!/usr/bin/env bash
# Builds the libFuzzer targets (preset `fuzz`) and runs each in turn.
#
#   scripts/fuzz.sh                      every target for 10 000 runs (CI)
#   scripts/fuzz.sh --runs 10000000 T    target T for ten million runs
#   scripts/fuzz.sh --time 3600          every target for an hour each
#
# Seeds come from fuzz/seeds/<target> and, when ../shared/real-claude-samples exists, from the
# real transcripts and indexes there (linked, never copied). What a run learns is kept in
# build/fuzz/corpus/<target>; an input that breaks a promise is saved in build/fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."

all=(transcript_window transcript_state session_index iso8601 clean_text tool_output process_table)
limit=(-runs=10000 -seed=1)
targets=()
while [ $# -gt 0 ]; do
    case "$1" in
        --runs) limit=(-runs="$2"); shift 2 ;;
        --time) limit=(-max_total_time="$2"); shift 2 ;;
        -h|--help) sed -n '2,11p' "$0"; exit 0 ;;
        *) targets+=("$1"); shift ;;
    esac
done
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"

samples=$(cd .. && pwd)/shared/real-claude-samples
out=build/fuzz
mkdir -p "$out/findings"
for target in "${targets[@]}"; do
    # Longer inputs add time, not reach: windows are divided by 256 in fuzzing builds, and
    # the clean-up sees prompts and summaries, not whole transcripts.
    options=()
    case "$target" in
        transcript_window) pattern='*.jsonl'; options=(-max_len=8192) ;;
        transcript_state) pattern='*.jsonl'; options=(-max_len=8192) ;;
        clean_text) pattern='*.jsonl'; options=(-max_len=4096) ;;
        session_index) pattern='*sessions-index*.json' ;;
        # Read entry by entry; a kibibyte holds dozens of them.
        process_table) pattern=''; options=(-max_len=1024) ;;
        *) pattern='' ;;
    esac
    inputs=("$out/corpus/$target" "fuzz/seeds/$target")
    mkdir -p "$out/corpus/$target"
    if [ -n "$pattern" ] && [ -d "$samples" ]; then
        rm -rf "$out/samples/$target"
        mkdir -p "$out/samples/$target"
        find "$samples" -maxdepth 1 -type f -name "$pattern" \
            -exec ln -s {} "$out/samples/$target/" \;
        inputs+=("$out/samples/$target")
    fi
    echo "== fuzz_$target"
    # Filling allocations, recording where each was made and a deep quarantine cost the slow
    # targets two fifths of their speed; a finding is replayed with full reports anyway.
    ASAN_OPTIONS=max_malloc_fill_size=0:malloc_context_size=0:quarantine_size_mb=8 \
        "$out/fuzz/fuzz_$target" "${limit[@]}" "${options[@]}" -timeout=30 -print_final_stats=1 \
        -artifact_prefix="$out/findings/$target-" "${inputs[@]}" 2>"$out/$target.log" ||
        { tail -n 60 "$out/$target.log" >&2; exit 1; }
    grep -E '^stat::number_of_executed_units|^Done' "$out/$target.log" || true
done

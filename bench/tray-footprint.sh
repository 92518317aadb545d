#!/usr/bin/env bash
# The running tray's footprint: starts it on Xvfb with a tray host (trayer) and five live fake
# `claude` sessions, lets it settle, then reports its CPU use over a minute (share of one core)
# and its resident memory. Targets: under 1% and under 80 MB.
#   bench/tray-footprint.sh [path/to/fernbeacon] (default build/release/src/fernbeacon)
#   FOOTPRINT_SECONDS=60 sets the measuring time, FOOTPRINT_SESSIONS=5 the number of sessions.
#   FOOTPRINT_TRANSCRIPT_MIB=256 gives each session a transcript of that size that grows by a
#   record a second, and reports the bytes the tray read while measuring.
#   FOOTPRINT_REGISTRY_WRITES=1000 rewrites the first session's registry file that many times a
#   second (in place, every tenth by rename; its status changing every 100 writes) while
#   measuring.
set -euo pipefail
cd "$(dirname "$0")/.."
binary=$(realpath "${1:-build/release/src/fernbeacon}")
seconds=${FOOTPRINT_SECONDS:-60}
sessions=${FOOTPRINT_SESSIONS:-5}
mebibytes=${FOOTPRINT_TRANSCRIPT_MIB:-0}
registryWrites=${FOOTPRINT_REGISTRY_WRITES:-0}
for tool in Xvfb trayer; do
    command -v "$tool" >/dev/null || { echo "tray-footprint: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The sessions, each with a transcript in its project folder.
mkdir -p "$work/bin" "$work/home/.config"
cp /bin/sleep "$work/bin/claude"
for i in $(seq "$sessions"); do
    dir="$work/home/src/project-$i"
    mkdir -p "$dir" "$work/home/.claude/projects/p$i"
    cat > "$work/home/.claude/projects/p$i/s.jsonl" <<JSONL
{"type":"user","cwd":"$dir","gitBranch":"main","message":{"role":"user","content":"Task number $i"}}
{"type":"assistant","message":{"usage":{"input_tokens":900,"cache_read_input_tokens":$((i * 30000)),"cache_creation_input_tokens":0,"output_tokens":120}}}
JSONL
    if [ "$mebibytes" -gt 0 ]; then
        { yes '{"type":"progress","data":{"type":"bash_progress","output":"building 42 of 97"}}' ||
            true; } | head -c "$((mebibytes * 1024 * 1024 - 100))" >> "$work/home/.claude/projects/p$i/s.jsonl"
        echo >> "$work/home/.claude/projects/p$i/s.jsonl"
    fi
    (cd "$dir" && exec "$work/bin/claude" 3600) &
    pids+=($!)
    mkdir -p "$work/home/.claude/sessions"
    echo "{\"pid\":$!,\"sessionId\":\"s\",\"status\":\"busy\"}" > "$work/home/.claude/sessions/$!.json"
    first=${first:-$!}
done

Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp > "$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
pids+=($!)
sleep 1

HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" "$binary" >/dev/null 2>&1 &
tray=$!
pids+=($tray)
sleep 6  # launch, the first scans, the icon embedded
if [ "$mebibytes" -gt 0 ]; then
    sleep 10  # the first cycle reads each transcript whole
    (while sleep 1; do
        for i in $(seq "$sessions"); do
            echo '{"type":"assistant","message":{"model":"claude-opus-4-6","usage":{"input_tokens":900,"output_tokens":120}}}' \
                >> "$work/home/.claude/projects/p$i/s.jsonl"
        done
    done) &
    pids+=($!)
fi

# Paced against the clock in bursts every 10 ms; the writes done are reported, not assumed.
storm() {
    exec python3 - "$work/home/.claude/sessions/$first.json" "$first" "$registryWrites" "$work/writes" <<'PY'
import os, sys, time
path, pid, rate, report = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
start, n = time.monotonic(), 0
while True:
    due = (time.monotonic() - start) * rate
    for _ in range(rate // 50):
        if n >= due:
            break
        n += 1
        status = "waiting" if n // 100 % 2 else "busy"
        text = '{"pid":%d,"sessionId":"s","status":"%s","updatedAt":%d}' % (pid, status, n)
        target = path if n % 10 else path + ".tmp"
        with open(target, "w") as f:
            f.write(text)
        if target != path:
            os.replace(target, path)
    with open(report, "w") as f:
        f.write("%d %f" % (n, time.monotonic() - start))
    if n >= due:
        time.sleep(0.01)
PY
}
if [ "$registryWrites" -gt 0 ]; then
    storm &
    pids+=($!)
fi

ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$tray/stat"; }
readBytes() { awk '/^rchar/ {print $2}' "/proc/$tray/io"; }
before=$(cpu)
readBefore=$(readBytes)
start=$(date +%s.%N)
sleep "$seconds"
after=$(cpu)
readAfter=$(readBytes)
end=$(date +%s.%N)
rss=$(awk '/^VmRSS/ {print $2}' "/proc/$tray/status")
peak=$(awk '/^VmHWM/ {print $2}' "/proc/$tray/status")
echo "what the tray shows: $(HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" "$binary" list | head -n1)"
awk -v n="$sessions" -v b="$before" -v a="$after" -v t="$ticks" -v s="$start" -v e="$end" \
    -v r="$rss" -v p="$peak" -v rb="$readBefore" -v ra="$readAfter" 'BEGIN {
    printf "tray with %d live sessions over %.0f s: CPU %.2f%% of one core; resident %.1f MB (peak %.1f MB)\n",
        n, e - s, 100 * (a - b) / t / (e - s), r / 1024, p / 1024
    printf "read %.1f kB a second\n", (ra - rb) / 1000 / (e - s) }'
if [ "$registryWrites" -gt 0 ]; then
    awk '{ printf "registry rewrites: %.0f a second\n", $1 / $2 }' "$work/writes"
fi

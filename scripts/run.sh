#!/usr/bin/env bash
# Sets up, builds a release and runs the main job: the tray. Without a graphical session it
# prints one refresh cycle instead, as `fernbeacon list` does. Arguments go to fernbeacon
# (for example: list --json).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
program=build/release/src/fernbeacon
if [ $# -eq 0 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No graphical session: printing what the tray menu would show." >&2
    exec "$program" list
fi
exec "$program" "$@"

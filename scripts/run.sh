#!/usr/bin/env bash
# Sets up, builds a release and runs the main job: one refresh cycle, printed as the menu
# shows it. Extra arguments go to `fernbeacon list` (for example --json).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
exec build/release/src/fernbeacon list "$@"

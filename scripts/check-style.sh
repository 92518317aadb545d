#!/usr/bin/env bash
# House rules no compiler checks: clang-format is clean, and operating-system conditionals
# appear only under src/platform/.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0

files=$(git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' \
    'fuzz/*.cpp' 'fuzz/*.h')
if ! clang-format --dry-run --Werror $files; then
    echo "check-style: run clang-format -i on the files above" >&2
    status=1
fi

if git grep -nE '#\s*if(def|ndef)?\s.*(__APPLE__|__linux__|Q_OS_|_WIN32|__MACH__)' -- 'src/*' \
        ':(exclude)src/platform/*'; then
    echo "check-style: operating-system conditionals belong in src/platform/" >&2
    status=1
fi
exit $status

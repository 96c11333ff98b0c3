#!/usr/bin/env bash
# Checks that the C++ sources keep the repository's .clang-format style: one clang-format-14 run over
# every file (--dry-run -Werror), naming each file that differs. Installs clang-format-14 when it is
# missing. Exits non-zero when a file is not formatted; `tools/check-format.sh --fix` formats them.
# Called once by .ci/run (it is no ctest test: it reads the sources, not a build).
set -euo pipefail
cd "$(dirname "$0")/.."

fix=0
case "${1:-}" in
    --fix) fix=1 ;;
    "") ;;
    *) echo "check-format.sh: unknown argument '$1' (only --fix)" >&2; exit 2 ;;
esac

tools/install-deps.sh --format
clang_format=$(command -v clang-format-14)

# The folders held to the style; files as git knows them, so build trees and stray files are left out.
folders=(app serial protocol upgrade flash station installer tools/packsim tools/tour tools/helpdoc tools/screenshots
         tests/app tests/common tests/download tests/flash tests/installer tests/packsim tests/protocol
         tests/serial tests/station tests/window tests/wine)
mapfile -t files < <(git ls-files -- "${folders[@]}" | grep -E '\.(cpp|h)$' | sort)
[[ ${#files[@]} -gt 0 ]] || { echo "check-format.sh: no sources found" >&2; exit 1; }

if [[ $fix -eq 1 ]]; then
    "$clang_format" -i "${files[@]}"
    echo "${#files[@]} files formatted with $clang_format"
    exit 0
fi

# clang-format names each offending file in its "file:line:col: error:" lines.
report=$("$clang_format" --dry-run -Werror "${files[@]}" 2>&1) && status=0 || status=$?
if [[ $status -ne 0 ]]; then
    echo "not formatted (tools/check-format.sh --fix, or $clang_format -i FILE):"
    grep -oE '^[^:]+:[0-9]+:[0-9]+: (error|warning)' <<<"$report" | cut -d: -f1 | sort -u | sed 's/^/  /'
    grep -q 'error' <<<"$report" || echo "$report"
    exit 1
fi
echo "${#files[@]} files formatted"

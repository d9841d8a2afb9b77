#!/bin/sh
# Fails when a C++ file of the tree is not as clang-format (the tree's .clang-format) makes
# it, naming each place. Usage: sh scripts/check-format.sh [CLANG_FORMAT]
# The files: those git knows (tracked, or new and not ignored); outside a git checkout,
# every .cpp and .h below the top folder except build folders.
set -eu
clang_format=${1:-clang-format}
cd "$(dirname "$0")/.."
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
    files=$(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
else
    files=$(find . -path ./.git -prune -o -path './build*' -prune -o \
        -type f \( -name '*.cpp' -o -name '*.h' \) -print | sort)
fi
# A file deleted but not yet committed is still listed by git: only those that exist.
printf '%s\n' "$files" | while IFS= read -r file; do
    [ -f "$file" ] && printf '%s\n' "$file"
done | xargs -r -d '\n' "$clang_format" --dry-run --Werror --style=file

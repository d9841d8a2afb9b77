#!/bin/sh
# Each manual page renders with man without a warning and has the usual sections; the
# cardhold-db page describes every command that cardhold-db --help lists.
#   check_manual_pages.sh CARDHOLD-DB PAGE...
set -u
db=$1
shift
fail() { echo "FAIL: $*"; exit 1; }
command -v man >/dev/null || fail "man is missing (sh scripts/install-deps.sh installs man-db)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for page in "$@"; do
    name=$(basename "$page" .1.gz)
    MANWIDTH=200 man --warnings -E UTF-8 -l "$page" >"$work/$name.txt" 2>"$work/$name.err" ||
        fail "man -l $page: $(cat "$work/$name.err")"
    [ -s "$work/$name.err" ] && fail "man -l $page warns: $(cat "$work/$name.err")"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" "SEE ALSO"; do
        grep -q "^$section\$" "$work/$name.txt" || fail "$page has no $section section"
    done
    for option in --help --version; do
        grep -q -- "^ *$option" "$work/$name.txt" || fail "$page does not describe $option"
    done
done

[ -f "$work/cardhold-db.txt" ] || fail "no cardhold-db page among: $*"
"$db" --help >"$work/usage.txt" || fail "$db --help failed"
commands=$(sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p' "$work/usage.txt")
[ -n "$commands" ] || fail "no commands in $db --help"
for command in $commands; do
    grep -q "^       $command\( \|\$\)" "$work/cardhold-db.txt" ||
        fail "the cardhold-db page does not describe the command $command"
done
echo "ok: $# pages; cardhold-db commands:" $commands

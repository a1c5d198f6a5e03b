#!/usr/bin/env bash
# The program's answers that need no window, given with no display at all: the version, the
# help, and one line for a wrong command line. Usage: command-line.sh PROGRAM
set -uo pipefail
program=$1
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@" >"$out" 2>"$err"; }

run --version; status=$?
[ $status = 0 ] || fail "--version: exit status $status: $(cat "$err")"
grep -qx '3dvorlan [0-9][0-9.]*' "$out" || fail "--version printed: $(cat "$out")"

run --help; status=$?
[ $status = 0 ] || fail "--help: exit status $status: $(cat "$err")"
grep -q '^Usage: 3dvorlan \[FILE\]$' "$out" || fail "--help printed: $(cat "$out")"
grep -q -- '--version' "$out" || fail "--help does not name --version"
[ -s "$err" ] && fail "--help wrote to standard error: $(cat "$err")"

run --no-such-option; status=$?
[ $status = 2 ] || fail "an unknown option: exit status $status"
[ -s "$out" ] && fail "an unknown option wrote to standard output: $(cat "$out")"
[ "$(wc -l <"$err")" = 1 ] || fail "an unknown option: not one line: $(cat "$err")"
grep -q -- '--no-such-option' "$err" || fail "the option is not named: $(cat "$err")"
echo "command line: ok"

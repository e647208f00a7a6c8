#!/usr/bin/env bash
# PROGRAM [COMMAND] --help: exit 0 at once, a usage line and a description
# on standard output, nothing on standard error, and short enough to read.
#   help_check.sh PROGRAM [COMMAND]
set -uo pipefail
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
timeout 10 "$@" --help >"$out" 2>"$err"
status=$?
fail() { echo "$* --help: $problem"; echo "--- stdout"; cat "$out"; echo "--- stderr"; cat "$err"; exit 1; }
[ $status = 0 ] || { problem="exit $status, expected 0"; fail "$@"; }
[ -s "$err" ] && { problem="wrote to standard error"; fail "$@"; }
grep -qi "^usage" "$out" || { problem="no usage line"; fail "$@"; }
lines=$(grep -c . "$out")
[ "$lines" -ge 3 ] || { problem="$lines lines: a usage line alone says too little"; fail "$@"; }
[ "$(wc -l <"$out")" -le 80 ] || { problem="longer than 80 lines"; fail "$@"; }
echo "$* --help: fine"

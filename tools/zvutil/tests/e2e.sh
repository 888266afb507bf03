#!/usr/bin/env bash
# End-to-end tests of the zvutil executable: real process, real files, real
# exit codes. usage: e2e.sh COMMAND...   (the command that starts zvutil,
# for instance "build/native/bin/zvutil" or "scripts/wine-run .../zvutil.exe")
set -uo pipefail
zvutil=("$@")
work=$(mktemp -d "${TMPDIR:-/tmp}/zvutil-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

# check NAME EXPECTED_RC EXPECTED_STDOUT [ARGS...] (stdin from $stdin_file)
stdin_file=/dev/null
check() {
    local name=$1 want_rc=$2 want_out=$3
    shift 3
    local out rc
    out=$("${zvutil[@]}" "$@" <"$stdin_file" 2>"$work/stderr")
    rc=$?
    if [ "$rc" -eq "$want_rc" ] && { [ "$want_out" = "*" ] || [ "$out" = "$want_out" ]; }; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL %s: rc %s (want %s)\n--- got:\n%s\n--- want:\n%s\n--- stderr:\n%s\n' \
            "$name" "$rc" "$want_rc" "$out" "$want_out" "$(cat "$work/stderr")"
    fi
}
# contains NAME NEEDLE ARGS... : stdout must contain NEEDLE and rc must be 0
contains() {
    local name=$1 needle=$2
    shift 2
    local out
    out=$("${zvutil[@]}" "$@" <"$stdin_file" 2>&1)
    if [ $? -eq 0 ] && [[ "$out" == *"$needle"* ]]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAIL %s: output lacks %q:\n%s\n' "$name" "$needle" "$out"
    fi
}

printf 'abc' >"$work/abc.txt"
: >"$work/empty.bin"
printf '123456789' >"$work/digits.txt"

contains "help lists crc32" "crc32" --help
contains "command help" "usage: zvutil crc32" crc32 --help
contains "version" "zvUtils" version
check "unknown command" 2 "" no-such-command
check "crc32 files" 0 "352441c2  $work/abc.txt
00000000  $work/empty.bin" crc32 "$work/abc.txt" "$work/empty.bin"
stdin_file="$work/digits.txt"
check "crc32 stdin" 0 "cbf43926  -" crc32 -
stdin_file=/dev/null
check "crc32 missing file" 1 "352441c2  $work/abc.txt" crc32 "$work/missing" "$work/abc.txt"
check "crc32 without files" 2 "" crc32
contains "demo" "demo finished" demo

echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

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
    # Under Wine a start of the emulator now and then fails with exit code 1
    # and no output at all: such a run is repeated once. A command that
    # really fails fails the second time too.
    if [ "$rc" -ne "$want_rc" ] && [ "$rc" -eq 1 ] && [ -z "$out" ] && [ ! -s "$work/stderr" ] &&
        [[ "${zvutil[0]}" == *wine* ]]; then
        out=$("${zvutil[@]}" "$@" <"$stdin_file" 2>"$work/stderr")
        rc=$?
    fi
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

check "expr values" 0 "7
512
-6
2.5
150
6.533333333333333" expr "1+2*3" "2^3^2" "2*-3" "1,5+1" "1.5e2" "2*(3+4)^2/1.5e1"
check "expr invalid" 1 "2
error 9: Division by zero error
error 7: Missing closing parenthesis
error 8: Overflow in expression" expr "2 3" "1/0" "(1+2" "-2^2"
check "expr without text" 2 "" expr
printf 'Man' >"$work/man.txt"
check "base64 encode" 0 "TWFu" base64 encode "$work/man.txt"
printf 'TWFu\nTWE=' >"$work/man.b64"
check "base64 decode" 0 "ManMa" base64 decode "$work/man.b64"
printf 'TW!u' >"$work/stop.b64"
check "base64 decode stops" 0 "M" base64 decode "$work/stop.b64"
head -c 3000 /dev/urandom >"$work/random.bin" 2>/dev/null || printf 'x%.0s' {1..3000} >"$work/random.bin"
"${zvutil[@]}" base64 encode "$work/random.bin" >"$work/random.b64" 2>/dev/null
stdin_file="$work/random.b64"
"${zvutil[@]}" base64 decode - <"$stdin_file" >"$work/random.out" 2>/dev/null
stdin_file=/dev/null
if cmp -s "$work/random.bin" "$work/random.out"; then passed=$((passed + 1)); else
    failed=$((failed + 1)); echo "FAIL base64 round trip of random bytes"; fi
check "base64 bad mode" 2 "" base64 sideways
check "round" 0 "2.67" round 2.675 2
check "round negative" 0 "-3" round -2.5 0
check "round large" 0 "5000000000.13" round 5000000000.125 2
check "cutoff" 0 "-2.7" cutoff -2.789 1
check "cutoff bad value" 2 "" cutoff abc 1

check "match" 0 "match" match 'a*c' abc
check "no match" 1 "no match" match 'A*' abc
check "match non-ASCII" 0 "match" match '?af?' 'café'
check "match usage" 2 "" match onlyone
check "codepage 1252" 0 "1252: 63 61 66 e9 20 80 20 3f" codepage --cp 1252 'café € 中'
check "codepage utf-8" 0 "65001: 63 61 66 c3 a9" codepage --cp 65001 'café'
check "codepage 1251" 0 "1251: 88 78" codepage --cp 1251 '€x'
check "codepage default" 0 "*" codepage abc
check "codepage unknown" 1 "" codepage --cp 4242 x
check "codepage usage" 2 "" codepage --cp
if "${zvutil[@]}" version 2>/dev/null | grep -q Linux; then
    # On Linux the ANSI code page is a process-wide setting read from the environment.
    ZV_ANSI_CODEPAGE=1251 check "codepage from the environment" 0 "1251: c6 78" codepage 'Жx'
    ZV_ANSI_CODEPAGE=nonsense check "codepage bad environment" 0 "1252: 3f 78" codepage 'Жx'
fi

check "convert saturates" 1 "32767 (false)" convert --from int --to short 70000
check "convert int to text" 0 "42" convert --from int --to string 42
check "convert hex upper" 0 "FF" convert --from int --to string --hex upper 255
check "convert hex lower" 0 "ff" convert --from uint --to string --hex lower 255
check "convert digits" 0 "007" convert --from short --to string --digits 3 7
check "convert negative digits" 0 "-07" convert --from int --to string --digits 3 -7
check "convert decimals" 0 "1.50" convert --from double --to string --digits 2 1.5
check "convert comma" 0 "1.5" convert --from string --to double 1,5
check "convert trims" 0 "100" convert --from double --to string 100.0
check "convert truncates" 0 "-3" convert --from double --to int -3.99
check "convert to unsigned" 1 "0 (false)" convert --from int --to uint -1
check "convert via text" 0 "1" convert --from string --to bool TRUE
check "convert user locale" 0 "2" convert --from double --to string --user-locale 2.0
check "convert bad value" 1 "" convert --from short --to int 40000
check "convert bad type" 2 "" convert --from byte --to int 1
check "convert usage" 2 "" convert --from int 1
contains "uinum decimals" "33" uinum 1/3 --decimals 2
check "uinum rounds" 0 "3" uinum 11/4 --decimals 0
check "uinum default" 0 "3" uinum 2*1,5
check "uinum bad" 1 "" uinum 1/0

contains "guid creates" "-" guid
if [ "$("${zvutil[@]}" guid -n 20 2>/dev/null | tr -d '\r' | grep -cE '^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$' | tr -d ' ')" = 20 ]; then
    passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL guid -n 20"; fi
check "guid check normalizes" 0 "valid 1b4e28ba-2fa1-11d2-883f-0016d3cca427" guid --check 1B4E28BA-2FA1-11D2-883F-0016D3CCA427
check "guid check zero" 0 "valid 0" guid --check 0
check "guid check braces" 1 "invalid" guid --check '{1b4e28ba-2fa1-11d2-883f-0016d3cca427}'
check "guid check misplaced dash" 1 "invalid" guid --check 1b4e28ba2-fa1-11d2-883f-0016d3cca427
check "guid bad count" 2 "" guid -n 0

# Paths, files and folders. Listings print host paths, so only the last
# component of each line is compared (sorted where the order is the file system's).
check "path norm" 0 'c:\Data\x\z.txt' path norm 'c:/Data//x/./y/../z.txt'
check "path norm unc" 0 '\\server\share\dir' path norm '\\server\share\\dir\'
check "path dotdot order" 0 'C:\a\b' path norm 'C:\a\.\..\b'
check "path rel" 0 '..\b\c.txt' path rel 'C:\a\b\c.txt' 'C:\a\x\'
check "path rel no delimiter" 0 '.\c\x' path rel 'c:\abc\x' 'c:\ab'
check "path rel other drive" 0 'C:\a\b\c.txt' path rel 'C:\a\b\c.txt' 'D:\a\'
check "path join" 0 'C:\a\b\c' path join 'C:\a' 'b\c'
contains "path split table" '  104  C:\d\a.tar.gz | a.tar.gz | a.tar.gz' path split 'C:\d\a.tar.gz'
check "path usage" 2 "" path
mkdir -p "$work/tree/sub/deep" "$work/tree/empty"
printf 'a' >"$work/tree/top.txt"
printf 'b' >"$work/tree/sub/b.log"
printf 'c' >"$work/tree/sub/deep/c.txt"
leaves() { "${zvutil[@]}" "$@" 2>/dev/null | tr -d '\r' | sed 's#.*[/\\]##'; }
expect_leaves() {
    local name=$1 want=$2
    shift 2
    local got
    got=$(leaves "$@" | tr '\n' ' ')
    if [ "$got" = "$want" ]; then passed=$((passed + 1)); else
        failed=$((failed + 1)); printf 'FAIL %s: got [%s] want [%s]\n' "$name" "$got" "$want"; fi
}
expect_leaves "ls flat" "top.txt " ls "$work/tree"
expect_leaves "ls recursive order" "c.txt b.log top.txt " ls "$work/tree" --recursive
expect_leaves "ls pattern" "c.txt top.txt " ls "$work/tree" --recursive --pattern '*.TXT'
got=$(leaves dirs "$work/tree" | sort | tr '\n' ' ')
if [ "$got" = "empty sub " ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL dirs: [$got]"; fi
check "ls missing folder" 1 "" ls "$work/no-such-folder"
check "ls bad mask" 2 "" ls "$work/tree" --exclude xyz
contains "fileinfo crc" "crc32            cbf43926" fileinfo "$work/digits.txt"
contains "fileinfo size" "size             9" fileinfo "$work/digits.txt"
contains "fileinfo no version" "file version     none" fileinfo "$work/digits.txt"
check "fileinfo missing" 1 "" fileinfo "$work/missing"
contains "df total" "total" df "$work" --unit m
check "df bad unit" 2 "" df "$work" --unit x
contains "folders temp" "temp" folders

# Search paths and processes.
mkdir -p "$work/which/a/sub" "$work/which/b"
printf 'a' >"$work/which/a/sub/tool.cfg"
printf 'b' >"$work/which/b/tool.cfg"
expect_leaves "which along --path" "tool.cfg " which tool.cfg --path "$work/which/a;$work/which/b" --sep ';'
got=$("${zvutil[@]}" which tool.cfg --path "$work/which/a;$work/which/b" --sep ';' --recursive 2>/dev/null | tr -d '\r' | tr '\\' '/')
if [[ "$got" == */a/sub/tool.cfg ]]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL which recursive: [$got]"; fi
check "which not found" 1 "" which missing.cfg --path "$work/which/a;$work/which/b" --sep ';' --recursive
check "which usage" 2 "" which
check "ps missing id" 1 "" ps 2147483000
check "ps missing name" 1 "" ps zv-no-such-program
check "ps usage" 2 "" ps

check "date info" 0 "date: 2024/02/29
weekday: Thursday
day of year: 60
ISO week: 9
leap year: yes" date info 2024-2-29
check "date easter" 0 "2024/03/31" date easter 2024
check "date add workdays" 0 "2024/05/06" date add 2024/05/03 1 workdays
check "date add months" 0 "2024/02/29" date add 2024/03/31 -1 months
check "date add million days" 0 "4761/11/28" date add 2024/01/01 1000000 days
check "date diff" 0 "-366" date diff 2020/03/01 2019-03-01
check "date nth" 0 "2023/11/23" date nth 4 thursday november 2023
check "date nth missing" 1 "" date nth 5 monday 2 2023
check "date bad" 2 "" date info 2024/13/01
check "time add" 0 "00:30:00:00 (+1 day)" time add 23:30 1 hours
check "time bad unit" 2 "" time add 23:30 1 days

# gzip: the system's gzip reads what zvutil writes and the other way round.
seq 1 30000 >"$work/numbers.txt"
check "gzip" 0 "" gzip --quiet "$work/numbers.txt"
if gzip -dc "$work/numbers.txt.gz" 2>/dev/null | cmp -s - "$work/numbers.txt" &&
    zcat "$work/numbers.txt.gz" 2>/dev/null | cmp -s - "$work/numbers.txt"; then
    passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL system gunzip/zcat of zvutil gzip output"; fi
gzip -9 -c "$work/numbers.txt" >"$work/system.gz"
check "gunzip of gzip output" 0 "" gunzip --quiet "$work/system.gz"
if cmp -s "$work/system" "$work/numbers.txt"; then passed=$((passed + 1)); else
    failed=$((failed + 1)); echo "FAIL zvutil gunzip of system gzip output"; fi
check "gunzip -o" 0 "" gunzip -q "$work/system.gz" -o "$work/system.out"
if cmp -s "$work/system.out" "$work/numbers.txt"; then passed=$((passed + 1)); else
    failed=$((failed + 1)); echo "FAIL zvutil gunzip -o"; fi
check "gunzip keeps existing output" 1 "" gunzip -q "$work/system.gz"
check "gunzip needs .gz or -o" 2 "" gunzip "$work/numbers.txt"
head -c 2000 "$work/system.gz" >"$work/cut.gz"
check "gunzip truncated" 1 "" gunzip -q "$work/cut.gz"
if [ ! -e "$work/cut" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL truncated gunzip left output"; fi
check "gunzip not gzip" 1 "" gunzip -q "$work/numbers.txt" -o "$work/never.txt"
check "scramble" 0 "" scramble --key secret "$work/numbers.txt" "$work/scrambled.bin"
check "unscramble" 0 "" scramble --xxor --key secret "$work/scrambled.bin" "$work/unscrambled.txt"
if ! cmp -s "$work/scrambled.bin" "$work/numbers.txt" && cmp -s "$work/unscrambled.txt" "$work/numbers.txt"; then
    passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL scramble round trip"; fi
check "scramble usage" 2 "" scramble --key secret "$work/numbers.txt"

# Localization files: loc check counts what a file holds and lists its problems.
printf '\xef\xbb\xbfMsg_Hello Hello\n' >"$work/common.loc"
printf '\xef\xbb\xbf#include common.loc\n;;cmd(replace:::a:::b)\nMsg_Greet $$Msg_Hello\n' >"$work/app.loc"
check "loc check clean" 0 "entries: 2
includes: 1
commands: 1
aliases: 1" loc check "$work/app.loc"
printf '\xef\xbb\xbf#include gone.loc\nMsg_A $$Msg_B\n' >"$work/bad.loc"
loc_out=$("${zvutil[@]}" loc check "$work/bad.loc" 2>&1)
loc_rc=$?
if [ "$loc_rc" -eq 1 ] && [[ "$loc_out" == *'bad.loc:1: included file "gone.loc" not found'* ]] &&
    [[ "$loc_out" == *'bad.loc:2: alias "Msg_A" names the unknown id "Msg_B"'* ]]; then
    passed=$((passed + 1)); else failed=$((failed + 1)); printf 'FAIL loc check problems: rc %s\n%s\n' "$loc_rc" "$loc_out"; fi
check "loc check usage" 2 "" loc check
# loc get: a translation in a language folder along --path, else the default text.
mkdir -p "$work/lang/de"
printf '\xef\xbb\xbfMsg_E2eHello Hallo [Who]\n' >"$work/lang/de/e2e.loc"
check "loc get translated" 0 "Hallo Ada" loc get --lang de --path "$work/lang" 'Msg_E2eHello|Hello [Who]|e2e.loc|Who:=Ada'
check "loc get default" 0 "Hello Ada" loc get --lang fr --path "$work/lang" 'Msg_E2eHello|Hello [Who]|e2e.loc|Who:=Ada'
check "loc get --file" 0 "Hallo [Who]" loc get --lang de --path "$work/lang" --file e2e.loc Msg_E2eHello
check "loc get usage" 2 "" loc get --lang de
# Dates outside the calendar, ids and files that are nowhere: exit 1, nothing printed.
check "date add past the end" 1 "" date add 65535/12/31 1 days
check "date info out of range" 1 "" date info 70000/1/1
check "loc get unknown id" 1 "" loc get --lang de --path "$work/lang" --file e2e.loc Msg_E2eNobody
check "loc get missing file" 1 "" loc get --path "$work/lang" --file nowhere.loc Msg_E2eHello
check "loc get --file by path" 0 "Hallo [Who]" loc get --file "$work/lang/de/e2e.loc" Msg_E2eHello

# Self-tests: every class passes on this system and the protocol is written.
contains "selftest" "selftest: 2 classes, 0 failed, 0 errors" selftest "$work/selftest.txt"
if grep -q 'Classtest ended:  zv::directory' "$work/selftest.txt" 2>/dev/null; then
    passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL selftest protocol"; fi
# Entries of the wrong kind are named as such; a file is never written over itself.
check "ls on a file" 1 "" ls "$work/abc.txt"
check "dirs on a file" 1 "" dirs "$work/abc.txt"
check "crc32 in another case" 0 "352441c2  $work/ABC.TXT" crc32 "$work/ABC.TXT"
printf 'keep' >"$work/self.txt"
if ln "$work/self.txt" "$work/self-link.txt" 2>/dev/null; then
    check "gzip onto a link to its source" 2 "" gzip "$work/self.txt" -o "$work/self-link.txt" --force
    if [ "$(cat "$work/self.txt")" = keep ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL gzip destroyed its source"; fi
fi
check "gzip for gunzip -o read-only" 0 "" gzip --quiet "$work/self.txt" -o "$work/self.gz"
printf 'old' >"$work/readonly.txt"
chmod a-w "$work/readonly.txt"
check "gunzip onto a read-only file" 1 "" gunzip "$work/self.gz" -o "$work/readonly.txt" --force
if grep -q "cannot write" "$work/stderr" && ! grep -q "damaged" "$work/stderr"; then
    passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL gunzip blames the input: $(cat "$work/stderr")"; fi
chmod u+w "$work/readonly.txt"
case "${zvutil[*]}" in
*.exe*) ;;
*)
    mkfifo "$work/fifo"
    check "fileinfo on a pipe" 1 "" fileinfo "$work/fifo"
    check "gzip of a pipe" 1 "" gzip "$work/fifo" -o "$work/fifo.gz"
    check "which along library names" 0 "$work/which/b/tool.cfg" which tool.cfg --path "C:$(printf '%s' "$work/which/b" | tr / '\\')"
    ;;
esac

# XML documents: fmt pretty-prints and round-trips both encodings, get selects by path, check reports.
printf '<?xml version="1.0"?><zvDatabase version="2"><Tool_table><Tool id="g1"><Formula>a&lt;b</Formula></Tool><Tool id="g2"/></Tool_table></zvDatabase>' >"$work/db.xml"
check "xml fmt" 0 '<?xml version="1.0" encoding="UTF-8"?>
<zvDatabase version="2">
   <Tool_table>
      <Tool id="g1">
         <Formula>a&lt;b</Formula>
      </Tool>
      <Tool id="g2"/>
   </Tool_table>
</zvDatabase>' xml fmt "$work/db.xml"
check "xml fmt --utf16 -o" 0 "" xml fmt "$work/db.xml" --utf16 -o "$work/db16.xml"
check "xml get from utf16" 0 "a<b" xml get "$work/db16.xml" 'Tool_table/Tool[1]/Formula'
check "xml get attributes" 0 "g1
g2" xml get "$work/db.xml" 'Tool_table/Tool@id'
check "xml get nothing" 1 "" xml get "$work/db.xml" 'Tool_table/Tool[3]'
check "xml check" 0 "$work/db.xml: ok, root 'zvDatabase', 5 elements" xml check "$work/db.xml"
printf '<a><b></a>' >"$work/bad.xml"
check "xml check invalid" 1 "*" xml check "$work/bad.xml"
check "xml usage" 2 "" xml get "$work/db.xml"

# Key-value files: LF-only files as edited on Linux, changes rewritten as INI, scrambling.
printf 'top=1\n[Machine]\nSpeed = 1200 ; rpm\nTool=drill\n' >"$work/app.ini"
check "cfg show" 0 "top    = 1
[Machine]
Speed  = 1200
Tool   = drill" cfg show "$work/app.ini"
check "cfg get" 0 "1200" cfg get "$work/app.ini" machine SPEED
check "cfg get missing" 1 "" cfg get "$work/app.ini" Machine Feed
check "cfg set" 0 "" cfg set "$work/app.ini" Machine Speed 1500
check "cfg get after set" 0 "1500" cfg get "$work/app.ini" Machine Speed
if [ "$(cat "$work/app.ini")" = "$(printf 'top    = 1\r\n[Machine]\r\nSpeed  = 1500\r\nTool   = drill\r')" ]; then
    passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL cfg set rewrote the file as:"; cat -A "$work/app.ini"; fi
check "cfg set refuses a comment marker" 2 "" cfg set "$work/app.ini" Machine Speed "1;2"
printf '**SEC\nkey  value one\n**END SEC\n' >"$work/m.cfg"
check "cfg show cfg dialect" 0 "[SEC]
key  = value one" cfg show "$work/m.cfg"
check "cfg scramble" 0 "" cfg scramble "$work/app.ini" "$work/app.bin"
check "cfg show scrambled" 0 "1500" cfg get "$work/app.bin" Machine Speed --scrambled
check "cfg unscramble" 0 "" cfg unscramble "$work/app.bin" "$work/app2.ini"
if cmp -s "$work/app.ini" "$work/app2.ini" && ! cmp -s "$work/app.ini" "$work/app.bin"; then
    passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL cfg scramble round trip"; fi
check "cfg usage" 2 "" cfg get "$work/app.ini" Machine

# Compound documents: pack, list, extract, add; a failure keeps the old document.
printf 'hello' >"$work/cdoc-a.txt"
printf 'xyz' >"$work/cdoc-b.txt"
check "cdoc create" 0 "" cdoc create "$work/doc.zvc" b="$work/cdoc-b.txt" a="$work/cdoc-a.txt"
check "cdoc ls" 0 "           5  a
           3  b" cdoc ls "$work/doc.zvc"
check "cdoc cat" 0 "hello" cdoc cat "$work/doc.zvc" a
stdin_file="$work/digits.txt"
check "cdoc add stdin" 0 "" cdoc add "$work/doc.zvc" c -
stdin_file=/dev/null
check "cdoc cat added" 0 "123456789" cdoc cat "$work/doc.zvc" c
cp "$work/doc.zvc" "$work/doc-before.zvc"
check "cdoc add existing name" 1 "" cdoc add "$work/doc.zvc" a "$work/cdoc-b.txt"
check "cdoc create bad name" 1 "" cdoc create "$work/doc.zvc" "$(printf 'n%.0s' {1..129})=$work/cdoc-a.txt"
if cmp -s "$work/doc.zvc" "$work/doc-before.zvc" && [ "$(ls -A "$work" | grep -c '\.tmp$')" -eq 0 ]; then
    passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL cdoc failures keep the old document"; fi
check "cdoc not a document" 1 "" cdoc ls "$work/cdoc-a.txt"
check "cdoc usage" 2 "" cdoc ls

# Lock files: a second process waits for the holder, then gets the lock; a
# lock left by a killed holder is taken over.
if "${zvutil[@]}" version | grep -q Windows; then
    exit3=(cmd /c "exit 3")
    hold=(cmd /c "ping -n 3 127.0.0.1 >NUL")
else
    exit3=(sh -c "exit 3")
    hold=(sleep 2)
fi
printf 'x' >"$work/job.dat"
check "lock exit code" 3 "" lock "$work/job.dat" -- "${exit3[@]}"
"${zvutil[@]}" lock "$work/job.dat" -- "${hold[@]}" >/dev/null 2>&1 &
holder=$!
for _ in $(seq 50); do [ -e "$work/job.dat\$\$lock\$\$" ] && break; sleep 0.1; done
check "lock held elsewhere" 1 "" lock "$work/job.dat" --timeout 200 -- "${exit3[@]}"
check "lock after the holder" 3 "" lock "$work/job.dat" --timeout 20000 -- "${exit3[@]}"
wait "$holder"
if [ ! -e "$work/job.dat\$\$lock\$\$" ]; then
    passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL lock file left behind"; fi
if ! "${zvutil[@]}" version | grep -q Windows; then
    "${zvutil[@]}" lock "$work/job.dat" -- sh -c "echo \$\$ >'$work/sleeper.pid'; exec sleep 30" >/dev/null 2>&1 &
    holder=$!
    for _ in $(seq 50); do [ -e "$work/job.dat\$\$lock\$\$" ] && break; sleep 0.1; done
    kill -9 "$holder"
    wait "$holder" 2>/dev/null
    check "lock of a killed holder" 3 "" lock "$work/job.dat" --timeout 2000 -- "${exit3[@]}"
    [ -s "$work/sleeper.pid" ] && kill "$(cat "$work/sleeper.pid")" 2>/dev/null
fi
mkdir -p "$work/jobs"
check "lock folder" 3 "" lock "$work/jobs" -- "${exit3[@]}"
check "lock missing" 1 "" lock "$work/missing" -- "${exit3[@]}"
check "lock usage" 2 "" lock "$work/job.dat" "${exit3[@]}"

# Conditions, units and passwords.
check "cond" 0 'and(isbigger<int>("5"),not(isin<string>("7")))
int 8: true
string 7: false' cond 'and(isBigger<INT>("5"), not(in<string>("7")))' --type int --value 8 --type string --value 7
check "cond malformed" 1 "" cond 'and(any())'
check "cond unconvertible" 1 "" cond 'isbigger<int>("x")'
check "units" 0 "1 meter = 39.37007874015748 inch
length factor: 39.37007874015748
area factor: 1550.0031000062002
volume factor: 61023.74409473229" units meter inch 1
check "units unknown" 1 "" units meter feet 1
check "password scramble" 0 "FVoN" password scramble abc
check "password unscramble" 0 "abc" password unscramble FVoN
check "password not scrambled" 1 "" password unscramble 'FVoN?'

# Named signals: a waiting process is released by another that sets the signal.
sig="zv-e2e-signal-$$"
"${zvutil[@]}" signal wait "$sig" --timeout 60000 >/dev/null 2>&1 &
sig_pid=$!
for _ in $(seq 1 300); do
    kill -0 "$sig_pid" 2>/dev/null || break
    "${zvutil[@]}" signal set "$sig" >/dev/null 2>&1
    sleep 0.1
done
if wait "$sig_pid"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL signal wait released by set"; fi
check "signal wait times out" 1 "" signal wait "$sig-unset" --timeout 10
check "signal usage" 2 "" signal toggle "$sig"

# Logging: a module's configuration is changed and shown; ls and tail read
# the folder of an ended process and clear nothing.
logroot="$work/logroot"
mkdir -p "$logroot/KARVENTIS/app/999999"
check "log set" 0 "*" log set --module app --log-root "$logroot" --root info --enable --class zv::Thread=trace
contains "log config" "class        zv.thread trace enabled" log config --module app --log-root "$logroot"
check "log set bad level" 2 "" log set --module app --log-root "$logroot" --root loud
printf 'one\ntwo\n' >"$logroot/KARVENTIS/app/999999/app_1.log"
check "log ls" 0 "999999 ended
  8 app_1.log" log ls --module app --log-root "$logroot"
check "log tail" 0 "two" log tail --module app --log-root "$logroot" -n 1
check "log tail no process" 1 "" log tail --module app --log-root "$logroot" --pid 5
if [ -f "$logroot/KARVENTIS/app/999999/app_1.log" ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL log commands cleared a folder"; fi
# Object databases, read without the application's classes.
printf '%s' "<zvDatabase version='2'><Tool_table><Tool id='11111111-1111-1111-1111-111111111111'><name>a&amp;b</name><h type='Holder'>22222222-2222-2222-2222-222222222222</h></Tool></Tool_table><Holder_table><Holder id='22222222-2222-2222-2222-222222222222'/></Holder_table></zvDatabase>" >"$work/tools.zvdb"
check "db tables" 0 "Tool 1
Holder 1" db tables "$work/tools.zvdb"
check "db dump" 0 "Tool{11111111-1111-1111-1111-111111111111}
  name = a&b
  h -> Holder{22222222-2222-2222-2222-222222222222}" db dump "$work/tools.zvdb" --class tool
check "db check ok" 0 "$work/tools.zvdb: ok, version 2, 2 tables, 2 entries" db check "$work/tools.zvdb"
printf '%s' "<zvDatabase version='2'><Tool_table><Tool id='11111111-1111-1111-1111-111111111111'><h type='Holder'>22222222-2222-2222-2222-222222222222</h></Tool></Tool_table></zvDatabase>" >"$work/dangling.zvdb"
check "db check dangling" 1 "$work/dangling.zvdb: dangling reference Tool{11111111-1111-1111-1111-111111111111} h -> Holder{22222222-2222-2222-2222-222222222222}" db check "$work/dangling.zvdb"

# A distributed database folder: one file per class, references across files.
mkdir -p "$work/shop"
printf '%s' "<zvDatabase version='2'><Tool_table><Tool id='11111111-1111-1111-1111-111111111111'><h type='Holder'>22222222-2222-2222-2222-222222222222</h></Tool></Tool_table></zvDatabase>" >"$work/shop/Tool.zvdb"
printf '%s' "<zvDatabase version='2'><Holder_table><Holder id='22222222-2222-2222-2222-222222222222'><t type='Tool'>11111111-1111-1111-1111-111111111111</t></Holder></Holder_table></zvDatabase>" >"$work/shop/Holder.zvdb"
check "db tables folder" 0 "Holder 1
Tool 1" db tables "$work/shop"
check "db dump folder" 0 "Holder{22222222-2222-2222-2222-222222222222}
  t -> Tool{11111111-1111-1111-1111-111111111111}" db dump "$work/shop" --class holder
check "db check folder" 0 "$work/shop: ok, version 2, 2 tables, 2 entries" db check "$work/shop"
printf '%s' "<zvDatabase version='2'><Holder_table/></zvDatabase>" >"$work/shop/Holder.zvdb"
check "db check folder dangling" 1 "$work/shop: dangling reference Tool{11111111-1111-1111-1111-111111111111} h -> Holder{22222222-2222-2222-2222-222222222222}" db check "$work/shop"
# Registry (on Linux a store in the work folder; on Windows the values are
# removed again), named pipes between processes, starting programs.
export ZV_REGISTRY_DIR="$work/registry"
regkey='HKEY_CURRENT_USER\Software\zvutil-e2e'
check "reg set number" 0 "" reg set "$regkey\Cell\Speed" 1500 --number
check "reg set text" 0 "" reg set "$regkey\Cell\@" "default text"
check "reg get ignoring case" 0 "1500" reg get 'HKEY_CURRENT_USER\software\ZVUTIL-E2E\cell\speed'
check "reg values" 0 "@
Speed" reg values "$regkey\Cell"
check "reg del" 0 "" reg del "$regkey\Cell\Speed"
check "reg del default" 0 "" reg del "$regkey\Cell\@"
check "reg get missing" 1 "" reg get "$regkey\Cell\Speed"
check "reg root spelled otherwise" 1 "" reg get 'hkey_current_user\Software\x'

pipe="zv-e2e-pipe-$$"
"${zvutil[@]}" pipe serve "$pipe" --count 2 --echo >"$work/served.txt" 2>"$work/serve-err.txt" &
serve_pid=$!
check "pipe send with reply" 0 "hello" pipe send "$pipe" hello --reply --timeout 30000
check "pipe send, next client" 0 "" pipe send "$pipe" "second one" --timeout 30000
if wait "$serve_pid" && [ "$(tr -d '\r' <"$work/served.txt")" = $'hello\nsecond one' ]; then
    passed=$((passed + 1))
else
    failed=$((failed + 1))
    echo "FAIL pipe serve printed: $(cat "$work/served.txt" "$work/serve-err.txt")"
fi
check "pipe without server" 1 "" pipe send "zv-e2e-none-$$" x --timeout 100

if "${zvutil[@]}" version 2>/dev/null | grep -q Windows; then
    check "start waits for the exit code" 7 "" start --wait cmd.exe /c exit 7
else
    check "start waits for the exit code" 7 "" start --wait --env ZV_E2E=7 sh -c 'exit $ZV_E2E'
fi
check "start missing program" 1 "" start zv-no-such-program

echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

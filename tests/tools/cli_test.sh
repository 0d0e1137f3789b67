#!/usr/bin/env bash
# tarnwick-cli end to end: exit codes, output formats, and that what pack
# writes reads back through ls and cat.
set -u
cli="$1"
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"

# Usage and help.
"$cli" >/dev/null 2>&1; check "no command" 2 $?
"$cli" frobnicate >/dev/null 2>&1; check "unknown command" 2 $?
"$cli" --help | grep -q '^Usage: tarnwick-cli'; check "help" 0 $?
"$cli" --version | grep -Eq '^tarnwick-cli [0-9]+\.[0-9]+\.[0-9]+$'; check "version" 0 $?
"$cli" decode >/dev/null 2>&1 </dev/null; check "decode without size" 2 $?
"$cli" decode 12x >/dev/null 2>&1 </dev/null; check "decode bad size" 2 $?
"$cli" decode 4294967296 >/dev/null 2>&1 </dev/null; check "decode size too large" 2 $?
"$cli" ls "$tmp" 108 >/dev/null 2>&1; check "ls archive out of range" 2 $?
"$cli" encode extra >/dev/null 2>&1 </dev/null; check "encode with argument" 2 $?
"$cli" pack >/dev/null 2>&1; check "pack without base" 2 $?
"$cli" pack "$tmp/x" --bogus >/dev/null 2>&1; check "pack unknown option" 2 $?
for command in decode encode ls cat extract pack talks captures select export check face voice; do
  "$cli" "$command" --help | grep -q "^Usage: tarnwick-cli $command "; check "$command --help" 0 $?
done
"$cli" --help >/dev/full 2>/dev/null; check "help into a full disk" 1 $?
"$cli" --version >/dev/full 2>/dev/null; check "version into a full disk" 1 $?

# decode: all SIZE bytes come out, zero-filled past what the stream gives.
out="$(printf '\x30\x98\x8c\x72\xec\xc6' | "$cli" decode 14 | od -An -c | tr -s ' \n' ' ')"
check "worked example" " a b c a b c a b c a b c \0 \0 " "$out"
printf '\x80' | "$cli" decode 3 >"$tmp/bad.out" 2>/dev/null; check "undefined code exit" 1 $?
check "undefined code output size" 3 "$(stat -c %s "$tmp/bad.out")"
"$cli" decode 0 </dev/null | wc -c | grep -qx 0; check "empty decode" 0 $?
# The same past a few MiB, where the output buffer may take huge pages.
printf abcabcabcabc >"$tmp/long.expected"; truncate -s 5000001 "$tmp/long.expected"
printf '\x30\x98\x8c\x72\xec\xc6' | "$cli" decode 5000001 | cmp -s - "$tmp/long.expected"; check "long zero-filled decode" 0 $?

# encode | decode gives the input back, for text and binary.
head -c 200000 /dev/urandom >"$tmp/random.bin"
seq 1 20000 >"$tmp/numbers.txt"
for f in "$tmp/random.bin" "$tmp/numbers.txt"; do
  "$cli" encode <"$f" >"$tmp/enc"
  "$cli" decode "$(stat -c %s "$f")" <"$tmp/enc" | cmp -s - "$f"; check "round trip $(basename "$f")" 0 $?
done
check "encoder output" "3098 8c72 ecc6" "$(printf abcabcabcabc | "$cli" encode | od -An -tx2 --endian=big | xargs)"

# pack, then ls and cat at the table's place of archive 1.
mkdir -p "$tmp/files" "$tmp/game/data/xls"
printf 'ID,Cast\r\n1,x\r\n' >"$tmp/files/another_aa_talk.csv"
cp "$tmp/numbers.txt" "$tmp/files/Numbers.TXT"
: >"$tmp/files/empty.bin"
"$cli" pack "$tmp/game/data/xls/table" --compress --compress-names \
  "$tmp/files/another_aa_talk.csv" "$tmp/files/Numbers.TXT" "$tmp/files/empty.bin"
check "pack" 0 $?
"$cli" ls "$tmp/game" 1 >"$tmp/ls.out"; check "ls exit" 0 $?
check "ls lines" 3 "$(wc -l <"$tmp/ls.out")"
check "ls first name" "1	another_aa_talk.csv" "$(head -1 "$tmp/ls.out" | cut -f1,2)"
check "ls full size" "$(stat -c %s "$tmp/files/Numbers.TXT")" "$(sed -n 2p "$tmp/ls.out" | cut -f5)"
check "ls compressed flag" "c c c" "$(cut -f6 "$tmp/ls.out" | xargs)"
check "ls first offset" 0 "$(head -1 "$tmp/ls.out" | cut -f3)"
"$cli" cat "$tmp/game" 1 numbers.txt | cmp -s - "$tmp/files/Numbers.TXT"; check "cat case-insensitive" 0 $?
"$cli" cat "$tmp/game" 1 another_aa_talk.csv | cmp -s - "$tmp/files/another_aa_talk.csv"; check "cat" 0 $?
"$cli" cat "$tmp/game" 1 empty.bin | wc -c | grep -qx 0; check "cat empty" 0 $?
"$cli" cat "$tmp/game" 1 missing.csv >/dev/null 2>&1; check "cat missing" 1 $?
"$cli" ls "$tmp/game" 2 >/dev/null 2>"$tmp/err"; check "ls missing archive" 1 $?
check "ls missing archive says why" "tarnwick-cli: cannot open archive 2: data/sprite/item/item.hed: No such file or directory" "$(cat "$tmp/err")"

# A loose file in the game folder's override folder wins over the archive.
mkdir -p "$tmp/game/unpack/data/xls/table.dat"
printf 'loose' >"$tmp/game/unpack/data/xls/table.dat/pri-another_aa_talk.csv"
check "cat loose override" "loose" "$("$cli" cat "$tmp/game" 1 another_aa_talk.csv)"

# Plain storage lists '-'.
"$cli" pack "$tmp/plain/data/effect/effect" "$tmp/files/empty.bin"
check "plain ls" "1	empty.bin	0	0	0	-" "$("$cli" ls "$tmp/plain" 0)"

# ls keeps one line per entry whatever the name holds.
mkdir -p "$tmp/odd"
printf 'x' >"$tmp/odd/a	b\c"
"$cli" pack "$tmp/oddgame/data/effect/effect" "$tmp/odd/a	b\c"
check "ls escapes names" 'a\tb\\c' "$("$cli" ls "$tmp/oddgame" 0 | cut -f2)"

# extract: names decoded from code page 932 before "\" splits them (0x95 0x5C
# is one character), a name with ".." is not written, a repeated name holds
# the first entry, written once.
mkdir -p "$tmp/names/one" "$tmp/names/two"
printf 'hyou' >"$tmp/names/$(printf '\x95\x5c').txt"
printf 'deep' >"$tmp/names/sub\deep.txt"
printf 'up' >"$tmp/names/a\..\up.txt"
printf 'first' >"$tmp/names/one/dup.txt"
printf 'second' >"$tmp/names/two/DUP.txt"
"$cli" pack "$tmp/ngame/data/effect/effect" --compress "$tmp/names/$(printf '\x95\x5c').txt" \
  "$tmp/names/sub\deep.txt" "$tmp/names/a\..\up.txt" "$tmp/names/one/dup.txt" "$tmp/names/two/DUP.txt"
"$cli" extract "$tmp/ngame" 0 -C "$tmp/x/y" -v >"$tmp/extract.out" 2>"$tmp/extract.err"
check "extract with a bad name" 1 $?
check "extract 0x5C trail byte" "hyou" "$(cat "$tmp/x/y/表.txt")"
check "extract subfolder" "deep" "$(cat "$tmp/x/y/sub/deep.txt")"
check "extract repeated name" "first" "$(cat "$tmp/x/y/dup.txt")"
check "extract writes nothing else" "dup.txt sub sub/deep.txt 表.txt" "$(cd "$tmp/x/y" && find . -mindepth 1 | sed 's|^\./||' | sort | xargs)"
check "extract -v" 3 "$(wc -l <"$tmp/extract.out")"
check "extract summary" "extract: 3 files written, 13 bytes, 1 failures, 1 repeated names skipped" "$(tail -1 "$tmp/extract.err")"
"$cli" extract "$tmp/ngame" 0 DUP.TXT -C "$tmp/x/z" 2>/dev/null
check "extract by name" "first" "$(cat "$tmp/x/z/dup.txt" 2>&1)"
"$cli" extract "$tmp/ngame" 0 -C "$tmp/ngame/out" 2>/dev/null; check "extract into the game folder" 1 $?
check "nothing written into the game" "" "$(ls "$tmp/ngame" | grep -v data)"

# check: what start-up would stop at.
"$cli" check "$tmp/ngame" 2>"$tmp/err"; check "check without every archive" 1 $?
check "check says why" "tarnwick-cli: archive 1: data/xls/table.hed: No such file or directory" "$(cat "$tmp/err")"

# talks: numbers, entry names, 11 escaped fields; UTF-8 unless --raw.
printf 'ID,Face\r\n5,15,3,\x83\x41,2,a\tb\\c\nd,25,,1\r\n5,1,1,x,0,t,0\r\n' >"$tmp/table.csv"
check "talks" '5	1	15	3	2	25	1	0	0015_03.png	00005_0001.vc	5	15	3	ア	2	a\tb\\c\nd	25		1		' \
  "$("$cli" talks --table "$tmp/table.csv" | head -1)"
check "talks raw" "$(printf '\x83\x41')" "$("$cli" talks --table "$tmp/table.csv" --raw | head -1 | cut -f14)"
check "talks line numbers" "2 00005_0002.vc" "$("$cli" talks --table "$tmp/table.csv" | sed -n 2p | cut -f2,10 | tr '\t' ' ')"
printf 'ID\r\n' >"$tmp/heading-only.csv"
"$cli" talks --table "$tmp/heading-only.csv" >/dev/null 2>&1; check "talks finds nothing" 1 $?
"$cli" talks >/dev/null 2>&1; check "talks usage" 2 $?
check "talks from standard input" "5" "$("$cli" talks --table - <"$tmp/table.csv" | head -1 | cut -f1)"
rm "$tmp/game/unpack/data/xls/table.dat/pri-another_aa_talk.csv"
check "talks from the game" "1	1	x" "$("$cli" talks "$tmp/game" | cut -f1,2,12)"
"$cli" talks "$tmp/plain" >/dev/null 2>&1; check "talks without the table archive" 1 $?

# captures: names first, then items with their ranges.
printf '<CaptureList>\r\n<Capture Name="\x83\x41">\r\n<Item Name="I">\r\n<Range>1,5,2</Range>\r\n</CaptureList>\r\n' >"$tmp/list.xml"
check "captures" "$(printf 'name\tア\nitem\tア\tI\nrange\t1\t5\t2')" "$("$cli" captures "$tmp/list.xml")"
"$cli" captures "$tmp/missing.xml" >/dev/null 2>&1; check "captures missing file" 1 $?
printf '<capturelist>\n' >"$tmp/ignored.xml"
"$cli" captures "$tmp/ignored.xml" >/dev/null 2>&1; check "captures ignored file" 1 $?

# select: the window's choices without a window.
printf 'ID\r\n5,a\r\n10,b\r\n10,c\r\n30,d\r\n' >"$tmp/sel.csv"
printf '<CaptureList>\n<Capture Name="G">\n<Item Name="A">\n<Range>10,10,7</Range>\n</Item>\n<Item Name="B">\n<Range>30,30,2</Range>\n<Range>5,5</Range>\n' >"$tmp/sel.xml"
check "select initial" "$(printf '5\t1\t0\t1\n10\t1\t0\t1\n10\t2\t0\t1\n30\t1\t0\t1')" "$("$cli" select --table "$tmp/sel.csv" --captures "$tmp/sel.xml")"
check "select group and item" "$(printf '5\t1\t0\t0\n10\t1\t7\t1\n10\t2\t7\t1\n30\t1\t2\t0')" \
  "$("$cli" select --table "$tmp/sel.csv" --captures "$tmp/sel.xml" capture=1 item=2)"
check "select clear all" "0 0 0 0" "$("$cli" select --table "$tmp/sel.csv" --captures "$tmp/sel.xml" item=1 | cut -f4 | xargs)"
"$cli" select --table "$tmp/sel.csv" --captures "$tmp/sel.xml" capture=2 >/dev/null 2>&1; check "select out of range" 2 $?
"$cli" select --table "$tmp/sel.csv" >/dev/null 2>&1; check "select usage" 2 $?
check "select from standard input" "4" "$("$cli" select --table "$tmp/sel.csv" --captures - <"$tmp/sel.xml" | wc -l)"
check "captures from a pipe" "$("$cli" captures "$tmp/sel.xml")" "$(cat "$tmp/sel.xml" | "$cli" captures -)"

# select with a speaker, a search and a collection: a filter keeps the
# hidden rows' marks, and an item under it marks among the rows shown.
printf 'ID,f,v,cast,s,text\r\n5,0,0,\x83\x54\x83\x89,0,a\r\n10,0,0,Teo,0,b\r\n10,0,0,\x83\x54\x83\x89,0,c\r\n30,0,0,Teo,0,d Teo\r\n' >"$tmp/cast.csv"
check "select a speaker" "$(printf '5\t1\t0\t1\n10\t2\t0\t1')" "$("$cli" select --table "$tmp/cast.csv" --captures "$tmp/sel.xml" speaker=サラ)"
check "select under a filter" "1 0 1 0" \
  "$("$cli" select --table "$tmp/cast.csv" --captures "$tmp/sel.xml" speaker=Teo item=1 speaker= | cut -f4 | xargs)"
check "select by search" "30" "$("$cli" select --table "$tmp/cast.csv" --captures "$tmp/sel.xml" "search=d teo" | cut -f1)"
mkdir -p "$tmp/coll"
printf 'Sara and Teo\n30:1\n5:1\n99:1\n' >"$tmp/coll/mine.txt"
printf 'broken\nnot a line\n' >"$tmp/coll/broken.txt"
check "select a collection" "$(printf '30\t1\t0\t1\n5\t1\t0\t1')" \
  "$("$cli" select --table "$tmp/cast.csv" --captures "$tmp/sel.xml" --collections "$tmp/coll" --collection "Sara and Teo" 2>"$tmp/err")"
grep -q "broken.txt" "$tmp/err"; check "a damaged collection is reported" 0 $?
check "and left as it is" "$(printf 'broken\nnot a line')" "$(cat "$tmp/coll/broken.txt")"
"$cli" select --table "$tmp/cast.csv" --captures "$tmp/sel.xml" --collections "$tmp/coll" --collection nobody >/dev/null 2>&1
check "select a missing collection" 1 $?
check "a collection as a choice, after a group" "30 5" \
  "$("$cli" select --table "$tmp/cast.csv" --captures "$tmp/sel.xml" capture=1 "collection=Sara and Teo" --collections "$tmp/coll" 2>/dev/null | cut -f1 | xargs)"

# Bad paths: every command given one as a file to read or a game folder
# gives exit 1 and one message naming the path (or the archive file it
# could not open), without an abort, and leaves no file behind.
mkdir -p "$tmp/bad/dir" "$tmp/out"
mkfifo "$tmp/bad/fifo"
printf 'x' >"$tmp/bad/locked"
chmod 000 "$tmp/bad/locked"
paths=("$tmp/bad/dir" "$tmp/bad/fifo" "$tmp/bad/missing")
[[ "$(id -u)" != 0 ]] && paths+=("$tmp/bad/locked")
for p in "${paths[@]}"; do
  while IFS= read -r command; do
    eval "set -- $command"
    timeout 10 "$cli" "$@" >/dev/null 2>"$tmp/err" </dev/null
    check "exit of $command" 1 $?
    check "one message from $command" 1 "$(wc -l <"$tmp/err")"
    grep -qF -e "$p" -e ": data/" "$tmp/err"; check "$command names the path" 0 $?
    check "nothing left by $command" "" "$(ls -A "$tmp/out")"
  done <<COMMANDS
talks --table "$p"
captures "$p"
select --table "$p" --captures "$tmp/sel.xml"
select --table "$tmp/sel.csv" --captures "$p"
pack "$tmp/out/packed" "$tmp/files/Numbers.TXT" "$p"
check "$p"
ls "$p" 1
extract "$p" 0 -C "$tmp/out/extract"
face "$p" 0012_03.png -o "$tmp/out/face.png"
voice "$p" 01001_0001.vc 1 -o "$tmp/out/voice.wav"
export "$p" "$tmp/out/export"
COMMANDS
done
# Outputs in the way: pack leaves neither half of its pair, extract stops
# at a -C that is a FIFO.
mkdir "$tmp/bad/packed.hed"
"$cli" pack "$tmp/bad/packed" "$tmp/files/Numbers.TXT" 2>"$tmp/err"; check "pack onto a folder" 1 $?
check "pack says why" "tarnwick-cli: cannot write $tmp/bad/packed.hed: Is a directory" "$(cat "$tmp/err")"
"$cli" extract "$tmp/ngame" 0 -C "$tmp/bad/fifo" 2>"$tmp/err"; check "extract into a FIFO" 1 $?
check "extract says why" "tarnwick-cli: cannot create $tmp/bad/fifo: Not a directory" "$(cat "$tmp/err")"
check "no file or temporary left" "dir fifo locked packed.hed" "$(ls -A "$tmp/bad" | xargs)"
chmod 600 "$tmp/bad/locked"

# Memory follows the copy's block, not the entry or the input; the sizes
# come from sparse files, which take no disk. peak_kib runs a command with
# no output and gives its peak resident KiB, sampled from its VmHWM while
# it runs (a read of gigabytes climbs for seconds), and its exit status.
# The sanitizer build peaks near 25 MiB here, inside the bound as well.
peak_kib() {
  "$@" >/dev/null 2>"$tmp/err" &
  local pid=$! peak=0 hwm
  while hwm="$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "/proc/$pid/status" 2>/dev/null)" && [[ -n "$hwm" ]]; do
    peak=$hwm
    sleep 0.05
  done
  wait "$pid"
  echo "$peak $?"
}
le32() { printf '\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
printf 'x' >"$tmp/files/big.bin"
"$cli" pack "$tmp/big/data/xls/table" "$tmp/files/big.bin"
mkdir -p "$tmp/big/unpack/data/xls/table.dat"
truncate -s 4000000000 "$tmp/big/unpack/data/xls/table.dat/big.bin"
read -r peak status < <(peak_kib "$cli" cat "$tmp/big" 1 big.bin)
check "cat of a 4 GB loose file" 0 "$status"
(( peak < 64 * 1024 )); check "cat of a 4 GB loose file stays under 64 MiB (peak $peak KiB)" 0 $?
# An index of 2.4 GB holding one name reads one record for it.
rm "$tmp/big/unpack/data/xls/table.dat/big.bin"
truncate -s 2400000000 "$tmp/big/data/xls/table.hed"
read -r peak status < <(peak_kib "$cli" ls "$tmp/big" 1)
check "ls of a 2.4 GB index" 0 "$status"
(( peak < 64 * 1024 )); check "ls of a 2.4 GB index stays under 64 MiB (peak $peak KiB)" 0 $?
check "ls of a 2.4 GB index lists its name" "1	big.bin	0	1	1	-" "$("$cli" ls "$tmp/big" 1)"
# A compressed entry that would decode to 300 MB is refused before it is.
mkdir -p "$tmp/zeros/data/xls"
{ head -c 1000000 /dev/zero; printf "$(le32 1)big.bin\\0"; } >"$tmp/zeros/data/xls/table.dat"
printf "$(le32 1000000)$(le32 12)$(le32 12)$(le32 0)$(le32 $((0x80000000 | 1000000)))$(le32 300000000)" \
  >"$tmp/zeros/data/xls/table.hed"
read -r peak status < <(peak_kib "$cli" cat "$tmp/zeros" 1 big.bin)
check "cat of an entry decoding past the limit" 1 "$status"
check "cat says the entry is too large" \
  "tarnwick-cli: cannot read entry: big.bin in archive 1: 300000000 bytes, more than the 268435456 its use allows" \
  "$(cat "$tmp/err")"
# Input larger than what reads it takes is refused once that much is read.
head -c 1G /dev/zero | "$cli" captures - >/dev/null 2>"$tmp/err"
check "captures of 1 GiB of standard input" "1 tarnwick-cli: cannot read standard input: larger than 64 MiB" \
  "${PIPESTATUS[1]} $(cat "$tmp/err")"
truncate -s 65M "$tmp/huge.xml"
"$cli" captures "$tmp/huge.xml" >/dev/null 2>"$tmp/err"
check "captures of a 65 MiB file" "1 tarnwick-cli: cannot read $tmp/huge.xml: larger than 64 MiB" "$? $(cat "$tmp/err")"

finish

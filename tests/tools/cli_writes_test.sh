#!/usr/bin/env bash
# What tarnwick-cli writes, against hostile target folders and archives:
# nothing lands outside the folder named or inside the game folder, links
# are replaced or refused, modes are kept, names never collide silently,
# each refusal says so once, and an interrupted run leaves no temporary.
# Usage: cli_writes_test.sh TARNWICK_CLI DEMO_GAME_FOLDER
set -u
export LC_ALL=C
cli="$1"
demo="$2"
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"

# A game whose archive 0 holds hostile names, beside a file to protect.
names="$tmp/names"
mkdir -p "$names" "$tmp/outside"
printf 'victim' >"$tmp/outside/victim"
chmod 600 "$tmp/outside/victim"
for name in x CASE case private 'voice\a.txt' 'game\data\xls\table.hed' \
  "inv$(printf '\x81')" "inv$(printf '\xff')" "inv$(printf '\xfe')" "inv$(printf '\xa0')" \
  "ctrl$(printf '\x1b')[31mRED" $'new\nline'; do
  printf '%s' "$name" >"$names/$name"
done
mkdir -p "$tmp/anc/game/data/xls"
"$cli" pack "$tmp/anc/game/data/effect/effect" "$names"/* 2>/dev/null; check "pack hostile names" 0 $?
printf 'index' >"$tmp/anc/game/data/xls/table.hed"
game="$tmp/anc/game"

# Each target folder as an attacker or a careless user leaves it; what must
# hold afterwards, and the one message expected (empty: none).
prepare_links() {
  ln -s ../outside/victim "$1/x"
  ln -s ../outside "$1/voice"
  printf 'old' >"$1/private"; chmod 600 "$1/private"
}
while IFS='|' read -r what setup target message; do
  out="$tmp/$target"
  mkdir -p "$out"
  $setup "$out"
  "$cli" extract "$game" 0 -C "$out" >/dev/null 2>"$tmp/err"
  status=$?
  check "$what: victim untouched" "victim 600" "$(cat "$tmp/outside/victim") $(stat -c %a "$tmp/outside/victim")"
  check "$what: nothing else outside" "victim" "$(ls -A "$tmp/outside" | xargs)"
  check "$what: game untouched" "index" "$(cat "$game/data/xls/table.hed")"
  check "$what: no temporary" "" "$(find "$tmp/anc" "$tmp/$target" -name '*.tmp')"
  check "$what: exit" 1 "$status"
  check "$what: message" "$message" "$(grep -v '^extract:' "$tmp/err" | sed "s|$tmp/||g")"
done <<CASES
links in the target|prepare_links|links|tarnwick-cli: cannot write links/voice: a symbolic link, not followed
an ancestor of the game|true|anc|tarnwick-cli: cannot write anc/game: inside a folder that is only read
CASES
check "file link replaced by the file" "x regular file" "$(cat "$tmp/links/x") $(stat -c %F "$tmp/links/x")"
check "mode kept" "private 600" "$(cat "$tmp/links/private") $(stat -c %a "$tmp/links/private")"
check "new file follows the umask" "$(printf '%o' $((0666 & ~$(umask))))" "$(stat -c %a "$tmp/links/inv%81")"
# Distinct stored names give distinct files; a name repeated but for case
# is counted as skipped.
check "no collisions" "inv%81 inv%A0 inv%FE inv%FF" "$(cd "$tmp/links" && ls -d inv* | sort | xargs)"
check "summary counts skipped names" "extract: 10 files written, 59 bytes, 1 failures, 1 repeated names skipped" \
  "$(tail -1 "$tmp/err")"

# What reaches the terminal is UTF-8 with control bytes escaped.
check "ls escapes" 'ctrl\x1B[31mRED inv%81 new\nline' \
  "$("$cli" ls "$game" 0 | cut -f2 | grep -E '^(ctrl|inv%81|new)' | sort | tr '\n' ' ' | sed 's/ $//')"
"$cli" extract "$game" 0 -C "$tmp/v" -v >"$tmp/v.out" 2>/dev/null
check "-v one line per file" 11 "$(wc -l <"$tmp/v.out")"
check "-v escapes" "$tmp/v/ctrl\\x1B[31mRED" "$(grep -F ctrl "$tmp/v.out")"
"$cli" cat "$game" 0 "$(printf 'no\x07such')" 2>"$tmp/err" >/dev/null
check "messages escape" 'tarnwick-cli: cannot read entry: no\x07such is not in archive 0' "$(cat "$tmp/err")"
"$cli" cat "$game" 0 "$(printf '\x83\x41\xff')" 2>"$tmp/err" >/dev/null
check "messages show game names" 'tarnwick-cli: cannot read entry: ア\xFF is not in archive 0' "$(cat "$tmp/err")"

# export: a link in place of voice/ stops the run with one message; the
# lines.csv then lists the lines done, naming no voice file.
mkdir -p "$tmp/exp"
ln -s ../outside "$tmp/exp/voice"
printf 'stale' >"$tmp/exp/lines.csv"
"$cli" export "$demo" "$tmp/exp" >/dev/null 2>"$tmp/err"; check "export into a linked voice folder" 1 $?
check "export says why once" "tarnwick-cli: cannot write $tmp/exp/voice: a symbolic link, not followed" \
  "$(grep -v '^export:' "$tmp/err")"
check "export lists what it did" "talk_id,line_no,cast,text,wait_tenths,voice_kind,frame_style,bgm_no,voice_file,face_file 0" \
  "$(head -1 "$tmp/exp/lines.csv") $(grep -c ',voice/' "$tmp/exp/lines.csv")"
check "export wrote nothing outside" "victim" "$(ls -A "$tmp/outside" | xargs)"

# export again with fewer lines: the clips and faces only the earlier list
# named go, what the new list names and the user's own files stay.
"$cli" export "$demo" "$tmp/again" >/dev/null 2>&1; check "first export" 0 $?
printf 'mine' >"$tmp/again/notes.txt"
printf 'mine' >"$tmp/again/voice/mine.ogg"
before="$(ls "$tmp/again/voice" "$tmp/again/face" | wc -l)"
"$cli" export "$demo" "$tmp/again" --captures "$demo/CaptureList.xml" capture=1 >/dev/null 2>"$tmp/err"
check "second export" 0 $?
listed() { grep -o -E '(voice|face)/[0-9_]+\.(ogg|png)' "$tmp/again/lines.csv" | sort -u | xargs; }
present() { (cd "$tmp/again" && ls -d voice/* face/* | grep -v -x voice/mine.ogg | sort | xargs); }
check "only the new list's files stay" "$(listed)" "$(present)"
check "fewer files than before" 1 "$(($(present | wc -w) + 1 < before))"
check "own files stay" "mine mine" "$(cat "$tmp/again/notes.txt") $(cat "$tmp/again/voice/mine.ogg")"
check "only the summary line" "1 1" "$(grep -c -E '^export: [0-9]+ lines, .*, 0 failures$' "$tmp/err") $(wc -l <"$tmp/err")"

# --jobs: on one thread or three, the same files with the same bytes and
# the same list; a count that is no number of threads is refused.
"$cli" export "$demo" "$tmp/one" --jobs 1 >/dev/null 2>&1; check "export on one thread" 0 $?
"$cli" export "$demo" "$tmp/three" --jobs 3 >/dev/null 2>&1; check "export on three threads" 0 $?
check "the same export on any number of threads" "" "$(diff -r "$tmp/one" "$tmp/three" 2>&1)"
for jobs in 0 -1 x 2x; do
  "$cli" export "$demo" "$tmp/none" --jobs "$jobs" >/dev/null 2>&1; check "--jobs $jobs refused" 2 $?
done

# --collection: exactly the collection's lines, in the order it has them.
mkdir -p "$tmp/collections"
printf 'Sara and Teo\n1002:1\n1001:2\n' >"$tmp/collections/sara.txt"
"$cli" export "$demo" "$tmp/collected" --collections "$tmp/collections" --collection "Sara and Teo" >/dev/null 2>&1
check "export a collection" 0 $?
check "the collection's lines" "1002,1 1001,2" "$(python3 -c 'import csv, sys; print(" ".join(r[0] + "," + r[1] for r in list(csv.reader(open(sys.argv[1])))[1:]))' "$tmp/collected/lines.csv")"
"$cli" export "$demo" "$tmp/none" --collections "$tmp/collections" --collection "nobody" >/dev/null 2>&1
check "export of a missing collection" 1 $?

# pack names no game folder: a folder at or above OUT_BASE's that holds
# all 108 archives (whatever their letter case) is one, and pack refuses
# to write anywhere in it; a folder holding only some is a game being made.
inst="$tmp/installed"
(cd "$demo" && find . -name '*.hed' -o -name '*.dat') | tr a-z A-Z | while read -r f; do
  mkdir -p "$inst/$(dirname "$f")"; printf 'game' >"$inst/$f"
done
while IFS='|' read -r what base folder; do
  (cd "$inst/DATA" && "$cli" pack "$base" "$names/x" 2>"$tmp/err")
  check "pack $what: exit" 1 $?
  check "pack $what: message" "tarnwick-cli: $folder lies inside the game folder $(realpath "$inst"): nothing is written there" \
    "$(cat "$tmp/err")"
  check "pack $what: game untouched" "game" "$(cat "$inst/DATA/XLS/TABLE.HED")"
  check "pack $what: nothing added" 216 "$(find "$inst" -type f | wc -l)"
done <<CASES
over the talk table|$inst/data/xls/table|$inst/data/xls
into a new subfolder|$inst/new/sub/x|$inst/new/sub
into the game folder itself|$inst/x|$inst
relative, from inside|table|.
CASES
rm "$inst/DATA/XLS/TABLE.DAT"
"$cli" pack "$inst/data/xls/table" "$names/x" 2>"$tmp/err"; check "pack beside a part of the game" 0 $?

# Interrupted: SIGTERM while a large file is written leaves no temporary
# and exits with 128 + 15.
mkdir -p "$game/unpack/data/effect/effect.dat"
truncate -s 3G "$game/unpack/data/effect/effect.dat/pri-x"
mkdir -p "$tmp/int"
"$cli" extract "$game" 0 x -C "$tmp/int" 2>/dev/null &
pid=$!
for _ in $(seq 200); do
  [[ -n "$(ls -A "$tmp/int")" ]] && break
  sleep 0.05
done
kill -TERM "$pid"
wait "$pid"
check "interrupted exit" 143 $?
check "interrupted leaves nothing" "" "$(ls -A "$tmp/int")"
rm -rf "$game/unpack"

# The clips and faces in an export folder, and those its lines.csv names.
present_in() { (cd "$1" && ls -d voice/* face/* 2>/dev/null | sort | xargs); }
listed_in() { grep -o -E '(voice|face)/[0-9_]+\.(ogg|wav|png)' "$1/lines.csv" | sort -u | xargs; }
unlisted_in() { comm -23 <(present_in "$1" | tr ' ' '\n') <(listed_in "$1" | tr ' ' '\n') | xargs; }

# A signal stops a re-export on many threads as a cancel does: every
# thread's temporary goes, every earlier file stays, and the list names
# them all with the new ones. The first clips are made long, so that the
# signal finds the export under way.
slow="$tmp/slow"
mkdir -p "$slow/unpack/data/sound/long.dat"
ln -s "$demo/data" "$slow/data"
ffmpeg -v error -f lavfi -i "anoisesrc=r=22050:a=0.5" -ac 1 -t 120 -c:a libvorbis "$tmp/noise.ogg"
python3 -c 'import sys; d=open(sys.argv[1],"rb").read(); sys.stdout.buffer.write(bytes(255-b for b in d))' \
  "$tmp/noise.ogg" >"$tmp/noise.vc"
"$cli" export "$demo" "$tmp/sig" >/dev/null 2>&1; check "export before the signal" 0 $?
for clip in $(grep -o -E 'voice/[0-9_]+\.ogg' "$tmp/sig/lines.csv" | head -48); do
  ln "$tmp/noise.vc" "$slow/unpack/data/sound/long.dat/$(basename "$clip" .ogg).vc"
done
earlier="$(present_in "$tmp/sig")"
"$cli" export "$slow" "$tmp/sig" --wav --jobs 8 >/dev/null 2>"$tmp/err" &
pid=$!
for _ in $(seq 1000); do
  compgen -G "$tmp/sig/voice/*.wav" >/dev/null && break
  sleep 0.01
done
kill -TERM "$pid"
wait "$pid"
check "signalled export exit" 143 $?
check "signalled export leaves no temporary" "" "$(find "$tmp/sig" -name '.*.tmp' | xargs)"
check "signalled export keeps the earlier files" "$earlier" "$(present_in "$tmp/sig" | tr ' ' '\n' | grep -v '\.wav$' | xargs)"
check "signalled export stopped part way" 1 "$(($(ls "$tmp/sig/voice" | grep -c '\.wav$') < 100))"
check "signalled export lists every file" "" "$(unlisted_in "$tmp/sig")"
wavs="$(ls "$tmp/sig/voice" | grep -c '\.wav$')"
check "signalled export counts what it wrote" "$wavs" "$(sed -n 's/^export: [0-9]* lines, \([0-9]*\) voice files.*/\1/p' "$tmp/err")"

# A full disk: a WAV export over an Ogg one stops with the reason, keeps
# every earlier file and leaves none that no list names; the summary counts
# what was written. (Needs a small file system of its own: root's.)
if mkdir -p "$tmp/full" && mount -t tmpfs -o size=4m tmpfs "$tmp/full" 2>/dev/null; then
  trap 'umount "$tmp/full" 2>/dev/null; rm -rf "$tmp"' EXIT
  "$cli" export "$demo" "$tmp/full/x" >/dev/null 2>&1; check "an Ogg export fits" 0 $?
  earlier="$(present_in "$tmp/full/x")"
  "$cli" export "$demo" "$tmp/full/x" --wav --jobs 8 >/dev/null 2>"$tmp/err"; check "a WAV export does not" 1 $?
  check "the disk is said to be full" 1 "$(($(grep -c 'No space left on device' "$tmp/err") > 0))"
  check "a full disk keeps the earlier files" "$earlier" \
    "$(present_in "$tmp/full/x" | tr ' ' '\n' | grep -v '\.wav$' | xargs)"
  check "a full disk leaves every file listed" "" "$(unlisted_in "$tmp/full/x")"
  check "a full disk counts what was written" "$(ls "$tmp/full/x/voice" | grep -c '\.wav$')" \
    "$(sed -n 's/^export: [0-9]* lines, \([0-9]*\) voice files.*/\1/p' "$tmp/err")"
  check "a full disk leaves no temporary" "" "$(find "$tmp/full" -name '.*.tmp' | xargs)"
  umount "$tmp/full"
fi

finish

#!/usr/bin/env bash
# tarnwick-cli voice on the demo game: clips of both voice archives (all the
# stereo ones and every fifth of the rest) decode to the same WAV file as an
# independent decoder (oggdec) makes from the entry inverted back; plus the
# command's exit codes.
# Usage: voice_cli_test.sh TARNWICK_CLI DEMO_GAME_FOLDER
set -u
cli="$1"
game="$2"
if ! command -v oggdec >/dev/null; then
  echo "SKIP: oggdec not found (vorbis-tools)"
  exit 77
fi
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"


invert() {
  perl -0777 -pe '$_ = ~$_'
}

# Usage errors and missing clips.
"$cli" voice "$game" 01001_0001.vc 1 >/dev/null 2>&1; check "no -o" 2 $?
"$cli" voice "$game" 01001_0001.vc -o "$tmp/x.wav" >/dev/null 2>&1; check "no kind" 2 $?
"$cli" voice "$game" 01001_0001.vc one -o "$tmp/x.wav" >/dev/null 2>&1; check "kind not a number" 2 $?
"$cli" voice "$game" 01001_0001.vc 1 -o >/dev/null 2>&1; check "-o without file" 2 $?
for missing in 01008_0004 01015_0004 02003_0001 02011_0002 99999_0001; do
  "$cli" voice "$game" "$missing.vc" 2 -o "$tmp/x.wav" >/dev/null 2>&1; check "no clip $missing" 1 $?
done
"$cli" voice "$tmp/nowhere" 01001_0001.vc 1 -o "$tmp/x.wav" >/dev/null 2>&1; check "no game" 1 $?

# Kind 1 reads archive 106; 2, -1 and 0 read archive 105 (never 107).
"$cli" cat "$game" 106 01001_0001.vc >"$tmp/short.vc"
"$cli" cat "$game" 105 01001_0001.vc >"$tmp/long.vc"
cmp -s "$tmp/short.vc" "$tmp/long.vc"; check "short and long clips differ" 1 $?
for kind in 1 2 -1 0; do
  archive=105
  [[ "$kind" == 1 ]] && archive=106
  "$cli" voice "$game" 01001_0001.vc "$kind" -o "$tmp/kind.wav" >/dev/null
  "$cli" cat "$game" "$archive" 01001_0001.vc | invert >"$tmp/kind.ogg"
  oggdec -Q -o "$tmp/kind_ref.wav" "$tmp/kind.ogg"
  cmp -s "$tmp/kind.wav" "$tmp/kind_ref.wav"; check "kind $kind reads archive $archive" 0 $?
done

# Clips against oggdec; the summary line matches the file.
stereo=0
for archive in 105 106; do
  kind=2
  [[ "$archive" == 106 ]] && kind=1
  names="$("$cli" ls "$game" "$archive" | awk '$2 ~ /^0200[1-4]_/ || NR % 5 == 1 { print $2 }')"
  check "archive $archive holds clips" 1 "$([[ -n "$names" ]] && echo 1)"
  for name in $names; do
    summary="$("$cli" voice "$game" "$name" "$kind" -o "$tmp/clip.wav")"
    check "voice $archive $name" 0 $?
    "$cli" cat "$game" "$archive" "$name" | invert >"$tmp/clip.ogg"
    oggdec -Q -o "$tmp/ref.wav" "$tmp/clip.ogg"
    cmp -s "$tmp/clip.wav" "$tmp/ref.wav"; check "same samples as oggdec: $archive $name" 0 $?
    # The header's channels (offset 22), rate (24) and data size (40).
    read -r channels < <(od -An -tu2 -j 22 -N 2 "$tmp/clip.wav")
    read -r rate _ _ _ bytes < <(od -An -w20 -tu4 -j 24 -N 20 "$tmp/clip.wav")
    check "summary $archive $name" "channels $channels, rate $rate, $bytes bytes" "$summary"
    # Talks 2001 to 2004 are the demo's stereo clips.
    if [[ "$name" =~ ^0200[1-4]_ ]]; then
      check "stereo $name" "2 44100" "$channels $rate"
      stereo=$((stereo + 1))
    else
      check "mono $name" "1 22050" "$channels $rate"
    fi
  done
done
check "some stereo clips" 1 "$((stereo > 0))"

# To standard output, with the summary on standard error.
"$cli" voice "$game" 01001_0001.vc 1 -o - 2>"$tmp/err" >"$tmp/stdout.wav"
check "stdout exit" 0 $?
"$cli" voice "$game" 01001_0001.vc 1 -o "$tmp/file.wav" >"$tmp/out"
cmp -s "$tmp/stdout.wav" "$tmp/file.wav"; check "stdout same as file" 0 $?
check "summary on stderr" "$(cat "$tmp/out")" "$(cat "$tmp/err")"
# A standard output that cannot take the summary (or the WAV) is a failure.
for o in "$tmp/full.wav" -; do
  "$cli" voice "$game" 01001_0001.vc 1 -o "$o" >/dev/full 2>"$tmp/err"
  check "voice -o $o into a full disk" "1 1" "$? $(grep -c '^tarnwick-cli: cannot write standard output' "$tmp/err")"
done

# A clip longer than a clip plays (10 min 1 s of silence at 8 kHz) is cut
# at 10 min, and voice and export --wav say so; an Ogg export copies it whole.
if command -v oggenc >/dev/null; then
  lg="$tmp/longgame"
  place() { "$cli" ls "$tmp/nowhere" "$1" 2>&1 | sed -n 's/.*: \(data\/.*\)\.hed: .*/\1/p'; }
  mkdir -p "$tmp/lfiles"
  printf 'ID\r\n1,1,0,Cast,0,Line,10,,2\r\n' >"$tmp/lfiles/another_aa_talk.csv"
  head -c $((601 * 8000 * 2)) /dev/zero | oggenc -Q -r -R 8000 -C 1 -B 16 -o - - | invert >"$tmp/lfiles/00001_0001.vc"
  for n in 1 104 105 106; do mkdir -p "$lg/$(dirname "$(place "$n")")"; done
  "$cli" pack "$lg/$(place 1)" "$tmp/lfiles/another_aa_talk.csv"
  "$cli" pack "$lg/$(place 105)" "$tmp/lfiles/00001_0001.vc"
  "$cli" pack "$lg/$(place 104)"
  "$cli" pack "$lg/$(place 106)"
  cut="the clip lasts longer than 600 s; only its first 600 s are written"
  summary="$("$cli" voice "$lg" 00001_0001.vc 2 -o "$tmp/long.wav" 2>"$tmp/err")"
  check "voice of a clip too long" "0 channels 1, rate 8000, 9600000 bytes" "$? $summary"
  check "voice says the clip is cut" "tarnwick-cli: $tmp/long.wav: $cut" "$(cat "$tmp/err")"
  "$cli" export "$lg" "$tmp/lexp" --wav --untagged 2>"$tmp/err"; check "export --wav of a clip too long" 0 $?
  check "export --wav says the clip is cut" "tarnwick-cli: $tmp/lexp/voice/00001_0001.wav: $cut" \
    "$(grep -v '^export:' "$tmp/err")"
  cmp -s "$tmp/long.wav" "$tmp/lexp/voice/00001_0001.wav"; check "exported cut WAV as voice gives it" 0 $?
  "$cli" export "$lg" "$tmp/lexp-ogg" 2>"$tmp/err"; check "Ogg export of a clip too long" 0 $?
  check "Ogg export says nothing of a cut" "" "$(grep -v '^export:' "$tmp/err")"
fi

# -o names a file in a folder that exists; a folder or FIFO there is refused.
mkfifo "$tmp/fifo"
for o in "$tmp/no/such/folder.wav" "$tmp" "$tmp/fifo"; do
  "$cli" voice "$game" 01001_0001.vc 1 -o "$o" >/dev/null 2>"$tmp/err"; check "voice -o $o" 1 $?
  check "one message for -o $o" 1 "$(grep -c "$o" "$tmp/err")"
done
check "no folder made for -o" 1 "$([[ -e "$tmp/no" ]]; echo $?)"

# extract: clips come out as Ogg files (--raw: as stored), the rest as stored.
"$cli" extract "$game" 106 -C "$tmp/short" 2>"$tmp/err"; check "extract 106" 0 $?
check "extract summary" "extract: $("$cli" ls "$game" 106 | wc -l) files written" "$(tail -1 "$tmp/err" | cut -d, -f1)"
invert <"$tmp/short.vc" | cmp -s - "$tmp/short/01001_0001.ogg"; check "extracted clip inverted back" 0 $?
oggdec -Q -o "$tmp/extracted.wav" "$tmp/short/01001_0001.ogg"; check "extracted clip is an Ogg file" 0 $?
"$cli" extract "$game" 106 01001_0001.VC --raw -C "$tmp/raw" 2>/dev/null
cmp -s "$tmp/short.vc" "$tmp/raw/01001_0001.vc"; check "extract --raw" 0 $?
face="$("$cli" ls "$game" 104 | head -1 | cut -f2)"
"$cli" extract "$game" 104 "$face" -C "$tmp/faces" 2>/dev/null
"$cli" cat "$game" 104 "$face" | cmp -s - "$tmp/faces/$face"; check "extracted face as stored" 0 $?

# export: the clip as the window plays it, as untagged WAV the same as voice gives.
"$cli" export "$game" "$tmp/export" --mode short --wav --untagged 2>/dev/null; check "export" 0 $?
"$cli" voice "$game" 01001_0001.vc 1 -o "$tmp/short.wav" >/dev/null
cmp -s "$tmp/short.wav" "$tmp/export/voice/01001_0001.wav"; check "exported WAV" 0 $?
check "export header" "talk_id,line_no,cast,text,wait_tenths,voice_kind,frame_style,bgm_no,voice_file,face_file" \
  "$(head -1 "$tmp/export/lines.csv")"
check "check the demo game" "archives 108 talk_lines $("$cli" talks "$game" | wc -l)" \
  "$("$cli" check "$game" | grep -v entries | xargs)"

finish

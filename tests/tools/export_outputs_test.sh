#!/usr/bin/env bash
# What an export gives other programs, read back by them: tagged clips
# (vorbiscomment), the playlist, the walk as one file in each format with a
# chapter per line (ffprobe) and its subtitles (ffmpeg). Skipped (77)
# without those readers.
# Usage: export_outputs_test.sh TARNWICK_CLI DEMO_GAME_FOLDER
set -u
export LC_ALL=C.UTF-8
cli="$1"
demo="$2"
for tool in vorbiscomment ffprobe ffmpeg python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: no $tool"; exit 77; }
done
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"

# Tagged clips: the line's text, speaker, album, place and framed face.
"$cli" export "$demo" "$tmp/tagged" --jobs 2 --one-file walk.ogg >/dev/null 2>"$tmp/err"
check "tagged export" 0 $?
first="$(python3 -c 'import csv, sys
rows = list(csv.reader(open(sys.argv[1])))[1:]
print(next(r[8] for r in rows if r[8]))' "$tmp/tagged/lines.csv")"
comments="$(vorbiscomment -l "$tmp/tagged/$first")"
for key in TITLE ARTIST ALBUM TRACKNUMBER TRACKTOTAL TARNWICK_LINE METADATA_BLOCK_PICTURE; do
  grep -q "^$key=." <<<"$comments"; check "$first has $key" 0 $?
done
check "album of an export of every line" "ALBUM=Tarnwick" "$(grep '^ALBUM=' <<<"$comments")"
check "first clip is track 1" "TRACKNUMBER=1" "$(grep '^TRACKNUMBER=' <<<"$comments")"

# --untagged: the clips exactly as extract writes them from the archive.
"$cli" export "$demo" "$tmp/stored" --untagged --no-playlist >/dev/null 2>&1; check "untagged export" 0 $?
"$cli" extract "$demo" 105 -C "$tmp/extracted" >/dev/null 2>&1; check "extract the long clips" 0 $?
check "untagged clips are the stored bytes" "" "$(for f in "$tmp/stored/voice/"*.ogg; do
  cmp -s "$f" "$tmp/extracted/$(basename "$f")" || echo "$f"; done)"
check "no playlist when asked for none" "no" "$([[ -e $tmp/stored/playlist.m3u8 ]] && echo yes || echo no)"
# Tags change no sample: the decoded sound of a tagged clip is the stored one's.
for f in "$first"; do
  a="$(ffmpeg -v error -i "$tmp/tagged/$f" -f s16le - | md5sum)"
  b="$(ffmpeg -v error -i "$tmp/stored/$f" -f s16le - | md5sum)"
  check "$f decodes as stored" "$b" "$a"
done

# The playlist: every clip of the list in order, with its length.
python3 - "$tmp/tagged" <<'PY' >"$tmp/playlist.check"
import csv, subprocess, sys
folder = sys.argv[1]
lines = open(folder + "/playlist.m3u8", encoding="utf-8").read().split("\n")
rows = [r for r in list(csv.reader(open(folder + "/lines.csv", encoding="utf-8")))[1:] if r[8]]
problems = []
if lines[0] != "#EXTM3U":
    problems.append("no #EXTM3U")
entries = [(lines[i], lines[i + 1]) for i in range(1, len(lines) - 1, 2) if lines[i].startswith("#EXTINF:")]
if [path for _, path in entries] != [r[8] for r in rows]:
    problems.append("paths differ from lines.csv")
for info, path in entries[:5]:
    seconds = float(info[len("#EXTINF:"):].split(",", 1)[0])
    probed = float(subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                                   "csv=p=0", folder + "/" + path], capture_output=True, text=True).stdout)
    if abs(seconds - probed) > 0.05:
        problems.append("%s: %.3f s listed, %.3f s long" % (path, seconds, probed))
print("ok" if not problems else "; ".join(problems))
PY
check "the playlist" "ok" "$(cat "$tmp/playlist.check")"

# The walk as one file: its length, a chapter per line at the subtitles'
# times, in every format; the subtitles load.
for format in ogg opus flac wav; do
  out="$tmp/walk-$format"
  if [[ $format == ogg ]]; then out="$tmp/tagged"; else
    "$cli" export "$demo" "$out" --one-file "walk.$format" >/dev/null 2>&1; check "one $format file" 0 $?
  fi
  python3 - "$out" "$format" <<'PY' >"$tmp/walk.check"
import json, re, subprocess, sys
folder, format = sys.argv[1], sys.argv[2]
probe = json.loads(subprocess.run(["ffprobe", "-v", "error", "-show_chapters", "-show_format", "-of", "json",
                                   "%s/walk.%s" % (folder, format)], capture_output=True, text=True).stdout)
srt = open(folder + "/walk.srt", encoding="utf-8").read()
lrc = open(folder + "/walk.lrc", encoding="utf-8").read()
rows = open(folder + "/lines.csv", encoding="utf-8").read()
def seconds(h, m, s, ms): return int(h) * 3600 + int(m) * 60 + int(s) + int(ms) / 1000
cues = [seconds(*m) for m in re.findall(r"(\d+):(\d+):(\d+),(\d+) -->", srt)]
ends = [seconds(*m) for m in re.findall(r"--> (\d+):(\d+):(\d+),(\d+)", srt)]
problems = []
chapters = probe.get("chapters", [])
duration = float(probe["format"]["duration"])
if format != "wav":
    starts = [float(c["start_time"]) for c in chapters]
    if not chapters:
        problems.append("no chapters")
    # Every subtitle starts where a chapter does.
    for cue in cues[:50]:
        if not any(abs(cue - s) < 0.03 for s in starts):
            problems.append("a subtitle at %.3f s has no chapter" % cue)
            break
if not cues or not ends or ends[-1] > duration + 0.02 or duration > ends[-1] + 61:
    problems.append("duration %.3f s against subtitles ending at %s" % (duration, ends[-1] if ends else None))
if not re.search(r"^\[\d\d:\d\d\.\d\d\]", lrc, re.M):
    problems.append("no timed lrc line")
print("ok" if not problems else "; ".join(problems))
PY
  check "walk.$format against its subtitles" "ok" "$(cat "$tmp/walk.check")"
  ffmpeg -v error -i "$out/walk.srt" -f srt - 2>"$tmp/srt.err" | grep -c -- " --> " >"$tmp/srt.count"
  check "walk.srt of $format loads" "" "$(cat "$tmp/srt.err")"
  check "walk.srt of $format as ffmpeg reads it" "$(grep -c -- " --> " "$out/walk.srt")" "$(cat "$tmp/srt.count")"
done

# The number of chapters is the number of lines exported.
check "one chapter per line" "$(($(python3 -c 'import csv, sys; print(len(list(csv.reader(open(sys.argv[1])))))' "$tmp/tagged/lines.csv") - 1))" \
  "$(ffprobe -v error -show_chapters -of csv "$tmp/tagged/walk.ogg" | grep -c '^chapter')"

# A WAV of one format is exactly the clips and the pauses' zeros: its
# length is the planned one to the frame.
check "walk.wav is as long as planned" "ok" "$(python3 - "$tmp/walk-wav/walk.wav" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
riff, size, wave = struct.unpack("<4sI4s", data[:12])
ok = riff == b"RIFF" and wave == b"WAVE" and size == len(data) - 8
print("ok" if ok else "bad RIFF header")
PY
)"

# A bad --one-file name is a usage error, and nothing is written.
"$cli" export "$demo" "$tmp/bad" --one-file walk.mp3 >/dev/null 2>&1; check "--one-file walk.mp3" 2 $?
check "nothing for a bad name" "no" "$([[ -e $tmp/bad ]] && echo yes || echo no)"
finish

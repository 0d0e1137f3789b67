#!/usr/bin/env bash
# The built program itself: --help and --version answer without a display;
# a portable copy with a settings file beside it opens the demo game, and
# when its window is closed (here by SIGTERM, as a session logout would) it
# writes its settings back, clamped.
set -u
exe="$1"
game="$2"
dir="$(mktemp -d)"
pid=
trap 'kill -9 "$pid" 2>/dev/null; rm -rf "$dir"' EXIT
cp "$exe" "$dir/tarnwick"

# --help and --version answer before Qt starts: no display needed.
for option in --version --help; do
  out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$dir/tarnwick" "$option" 2>&1)"
  status=$?
  case "$option:$status:$out" in
    "--version:0:tarnwick "[0-9]*.[0-9]*.[0-9]* | "--help:0:Usage: tarnwick "*) ;;
    *) echo "FAIL: tarnwick $option without a display: status $status, output:"; echo "$out"; exit 1 ;;
  esac
done
[[ ! -e "$dir/tarnwick.ini" ]] || { echo "FAIL: --help or --version wrote a settings file"; exit 1; }
printf '; kept\r\n[SYSTEM]\r\nVeyAppPath=%s\r\nPlayMode=7\r\nVolumeBGM=-20000\r\n[Other]\r\nx=1\r\n' "$game" >"$dir/tarnwick.ini"
before="$(stat -c %i "$dir/tarnwick.ini")"

QT_QPA_PLATFORM=offscreen "$dir/tarnwick" >"$dir/out.log" 2>&1 &
pid=$!
# Start-up rewrites VeyAppPath once every archive has opened.
for _ in $(seq 1 200); do
  [[ "$(stat -c %i "$dir/tarnwick.ini")" != "$before" ]] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
sleep 1.5  # the window opens
if ! kill -0 "$pid" 2>/dev/null; then
  echo "FAIL: the program ended before its window was closed"; cat "$dir/out.log"; exit 1
fi
kill -TERM "$pid"
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$pid" 2>/dev/null; then echo "FAIL: still running after SIGTERM"; exit 1; fi
wait "$pid"
status=$?
expected="$(printf '; kept\r\n[SYSTEM]\r\nVeyAppPath=%s\r\nPlayMode=0\r\nVolumeBGM=0\r\n[Other]\r\nx=1\r\n' "$game")"
# The window's place follows in a section of its own, after an empty line.
actual="$(awk '/^\r?$/ { exit } { print }' "$dir/tarnwick.ini")"
place="$(sed -n '/^\[Tarnwick\]/,$p' "$dir/tarnwick.ini" | tr -d '\r')"
if [[ "$status" -ne 0 || "$actual" != "$expected" || "$place" != *$'\nCaptureGroup=0\n'* ]]; then
  echo "FAIL: status $status, settings:"; cat -A "$dir/tarnwick.ini"; cat "$dir/out.log"; exit 1
fi

# A settings file its owner may not write is left exactly as it was, and the
# program runs and closes all the same.
chmod 444 "$dir/tarnwick.ini"
cp "$dir/tarnwick.ini" "$dir/before.ini"
QT_QPA_PLATFORM=offscreen "$dir/tarnwick" >"$dir/out.log" 2>&1 &
pid=$!
sleep 2
if ! kill -0 "$pid" 2>/dev/null; then
  echo "FAIL: with a read-only settings file the program ended by itself"; cat "$dir/out.log"; exit 1
fi
kill -TERM "$pid"
wait "$pid"
status=$?
if [[ "$status" -ne 0 ]] || ! cmp -s "$dir/before.ini" "$dir/tarnwick.ini"; then
  echo "FAIL: status $status, a read-only settings file was changed"; exit 1
fi
echo "2 passed, 0 failed"

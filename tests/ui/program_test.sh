#!/usr/bin/env bash
# The built program itself: --help and --version answer without a display;
# a portable copy with a settings file beside it opens the demo game, and
# when its window is closed (here by SIGTERM, as a session logout would) it
# writes its settings back, clamped. Face pictures a killed run left are
# removed at start; a settings lock that another process holds makes the
# close give up after a few seconds, saying so; and with no session bus at
# all the window opens on an X server and closes as usual.
set -u
exe="$1"
game="$2"
dir="$(mktemp -d)"
pid=
holder=
xvfb=
trap '[[ -n $holder ]] && pkill -9 -P "$holder"; kill -9 "$pid" $holder $xvfb 2>/dev/null; rm -rf "$dir"' EXIT
cp "$exe" "$dir/tarnwick"
# A runtime folder of the test's own, with no bus socket in it.
export XDG_RUNTIME_DIR="$dir/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"

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
# A face picture of a process that has ended, and one of a running one.
gone="$(bash -c 'echo $$')"
mkdir "$XDG_RUNTIME_DIR/tarnwick"
: >"$XDG_RUNTIME_DIR/tarnwick/face-$gone-1.png"
: >"$XDG_RUNTIME_DIR/tarnwick/face-$$-1.png"

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
if [[ -e "$XDG_RUNTIME_DIR/tarnwick/face-$gone-1.png" || ! -e "$XDG_RUNTIME_DIR/tarnwick/face-$$-1.png" ]]; then
  echo "FAIL: face pictures after a start:"; ls -l "$XDG_RUNTIME_DIR/tarnwick"; exit 1
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

# Another process holds the settings lock and never lets go: the close waits
# a few seconds, then ends the program, saying on standard error that the
# settings were not saved. The settings file is left as it was.
chmod 644 "$dir/tarnwick.ini"
printf '[SYSTEM]\r\nVeyAppPath=%s\r\nPlayMode=7\r\n' "$game" >"$dir/tarnwick.ini"
cp "$dir/tarnwick.ini" "$dir/before.ini"
# -o: the lock stays with flock itself, which the test ends with its
# sleep; neither keeps the test's output open.
flock -o "$dir/tarnwick.ini.lock" sleep 120 </dev/null >/dev/null 2>&1 &
holder=$!
QT_QPA_PLATFORM=offscreen "$dir/tarnwick" >"$dir/out.log" 2>&1 &
pid=$!
sleep 2
kill -TERM "$pid"
start=$SECONDS
for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
waited=$((SECONDS - start))
if kill -0 "$pid" 2>/dev/null; then echo "FAIL: still waiting for the settings lock after ${waited}s"; exit 1; fi
wait "$pid"
status=$?
if [[ "$status" -ne 0 || "$waited" -lt 4 ]] || ! cmp -s "$dir/before.ini" "$dir/tarnwick.ini" ||
   ! grep -qF "tarnwick: settings not saved: $dir/tarnwick.ini.lock: locked by another process" "$dir/out.log"; then
  echo "FAIL: status $status after ${waited}s with the lock held:"; cat "$dir/out.log"; exit 1
fi
pkill -P "$holder"
kill "$holder" 2>/dev/null
wait "$holder" 2>/dev/null
holder=

# No session bus: neither an address nor a socket in the runtime folder.
# The window must still open on a real window system (whose accessibility
# bridge asks for the bus) and close on SIGTERM, the media controls absent.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 1 100); do [[ -s "$dir/display" ]] && break; sleep 0.05; done
[[ -s "$dir/display" ]] || { echo "FAIL: Xvfb did not start"; cat "$dir/xvfb.log"; exit 1; }
display=":$(head -n 1 "$dir/display")"
for _ in $(seq 1 100); do DISPLAY="$display" xwininfo -root >/dev/null 2>&1 && break; sleep 0.05; done
printf '[SYSTEM]\r\nVeyAppPath=%s\r\nPlayMode=7\r\n' "$game" >"$dir/tarnwick.ini"
# On a real X server the keyboard library hands strndup a counted name
# without its NUL, which strict string checks of a sanitizer build take
# for an overflow of ours.
env -u DBUS_SESSION_BUS_ADDRESS -u WAYLAND_DISPLAY DISPLAY="$display" QT_QPA_PLATFORM=xcb \
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0" "$dir/tarnwick" >"$dir/out.log" 2>&1 &
pid=$!
shown=
for _ in $(seq 1 300); do
  DISPLAY="$display" xwininfo -root -tree 2>/dev/null | grep -q '"Tarnwick' && { shown=1; break; }
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
[[ -n "$shown" ]] || { echo "FAIL: without a session bus no window showed within 30s"; cat "$dir/out.log"; exit 1; }
kill -TERM "$pid"
for _ in $(seq 1 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$pid" 2>/dev/null; then echo "FAIL: without a session bus still running after SIGTERM"; exit 1; fi
wait "$pid"
status=$?
if [[ "$status" -ne 0 ]] || ! grep -q '^PlayMode=0' <(tr -d '\r' <"$dir/tarnwick.ini"); then
  echo "FAIL: without a session bus: status $status, settings:"; cat -A "$dir/tarnwick.ini"; cat "$dir/out.log"; exit 1
fi
kill "$xvfb"
wait "$xvfb" 2>/dev/null
xvfb=
echo "5 passed, 0 failed"

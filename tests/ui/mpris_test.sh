#!/usr/bin/env bash
# The desktop's media controls: the window on a session bus of its own,
# driven by playerctl as a panel applet would drive it. Skipped (77) without
# playerctl or dbus-run-session.
set -u
exe="$1"
cli="$2"
game="$3"

if [[ "${TARNWICK_MPRIS_ON_BUS:-}" != 1 ]]; then
  for tool in playerctl dbus-run-session dbus-send; do
    command -v "$tool" >/dev/null || { echo "SKIP: no $tool"; exit 77; }
  done
  TARNWICK_MPRIS_ON_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

# The sound server the suite runs, if any, before this test hides it.
sound_socket="${XDG_RUNTIME_DIR:-/nonexistent}/pulse/native"

dir="$(mktemp -d)"
pids=()
trap 'for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done; rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; for f in "$dir"/*.log; do echo "--- $f"; cat "$f"; done; exit 1; }

# No sound server: every line is a silent one that waits its time, seconds
# long, so the steps below never race the walk.
export PULSE_SERVER="unix:$dir/no-sound-server"
export XDG_RUNTIME_DIR="$dir/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen

# A portable copy of the program with its settings beside it.
start_copy() {
  local copy="$dir/$1"
  mkdir "$copy"
  cp "$exe" "$copy/tarnwick"
  printf '[SYSTEM]\r\nVeyAppPath=%s\r\n' "$game" >"$copy/tarnwick.ini"
  "$copy/tarnwick" >"$dir/$1.log" 2>&1 &
  started=$!
  pids+=("$started")
}
# Waits until playerctl lists a player matching the pattern.
wait_listed() {
  for _ in $(seq 1 300); do
    playerctl -l 2>/dev/null | grep -qx "$1" && return 0
    sleep 0.1
  done
  return 1
}
ctl() { playerctl -p tarnwick "$@" 2>&1; }
# playerctl shows an object path quoted.
track() { ctl metadata mpris:trackid | tr -d "'"; }
expect_status() {
  local status
  status="$(ctl status)"
  [[ "$status" == "$1" ]] || fail "after $2: status '$status', not $1"
}

# The first marked line: the demo game's first talk line, every row marked.
IFS=$'\t' read -r -a first < <("$cli" talks "$game" | head -n 1)
first_id="${first[0]}_${first[1]}"
first_cast="${first[13]}"
first_text="${first[15]//\$R/$'\n'}"
first_title="${first[15]//\$R/ }"

start_copy one
wait_listed tarnwick || fail "playerctl -l does not list tarnwick: $(playerctl -l 2>&1)"
main_pid="$started"

entry="$(dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.tarnwick /org/mpris/MediaPlayer2 \
  org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2 string:DesktopEntry 2>&1)"
[[ "$entry" == *'string "tarnwick"'* ]] || fail "DesktopEntry: $entry"

# What a panel applet hears without asking: the change signals.
dbus-monitor --session "type='signal',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged'" \
  >"$dir/signals.txt" 2>/dev/null &
monitor=$!
pids+=("$monitor")
sleep 0.2
ctl play >/dev/null
expect_status Playing play
trackid="$(track)"
[[ "$trackid" == "/io/github/tarnwick/line/$first_id" ]] || fail "trackid '$trackid' of the first line"
[[ "$(ctl metadata xesam:artist)" == "$first_cast" ]] || fail "artist '$(ctl metadata xesam:artist)', not $first_cast"
[[ "$(ctl metadata xesam:title)" == "$first_title" ]] || fail "title '$(ctl metadata xesam:title)', not one line"
[[ "$(ctl metadata xesam:asText)" == "$first_text" ]] || fail "asText '$(ctl metadata xesam:asText)'"
art="$(ctl metadata mpris:artUrl)"
[[ "$art" == "file://$XDG_RUNTIME_DIR/tarnwick/"*.png ]] || fail "artUrl '$art'"
art="${art#file://}"
[[ "$(head -c 8 "$art" | od -An -tx1 | tr -d ' \n')" == 89504e470d0a1a0a ]] || fail "$art is no PNG"

ctl next >/dev/null
second="$(track)"
[[ "$second" == /io/github/tarnwick/line/* && "$second" != "$trackid" ]] || fail "next: trackid '$second'"
ctl previous >/dev/null
[[ "$(track)" == "$trackid" ]] || fail "previous: trackid '$(track)'"
[[ "$(find "$XDG_RUNTIME_DIR/tarnwick" -name '*.png' | wc -l)" == 1 ]] || fail "old faces kept: $(ls "$XDG_RUNTIME_DIR/tarnwick")"
ctl pause >/dev/null
expect_status Paused pause
ctl play >/dev/null
expect_status Playing "play when paused"
ctl stop >/dev/null
expect_status Stopped stop
sleep 0.2
kill "$monitor"
for told in "object path \"$trackid\"" "object path \"$second\"" 'string "Paused"' 'string "Stopped"'; do
  grep -qF -- "$told" "$dir/signals.txt" || fail "no change signal with $told: $(cat "$dir/signals.txt")"
done

# Shuffle: the walk takes every marked line once, in an order other than
# the list's; at its last line, loop Playlist starts it again.
mapfile -t listed < <("$cli" talks "$game" | awk -F'\t' '{print "/io/github/tarnwick/line/" $1 "_" $2}')
declare -A wait_of
while IFS=$'\t' read -r id no _ _ _ tenths _; do
  wait_of["/io/github/tarnwick/line/${id}_$no"]="$tenths"
done < <("$cli" talks "$game")
ctl shuffle On >/dev/null
[[ "$(ctl shuffle)" == On ]] || fail "shuffle reads back '$(ctl shuffle)'"
ctl play >/dev/null
expect_status Playing "play shuffled"
walked=("$(track)")
for ((i = 1; i < ${#listed[@]}; i++)); do
  ctl next >/dev/null
  walked+=("$(track)")
done
[[ "$(printf '%s\n' "${walked[@]}" | sort)" == "$(printf '%s\n' "${listed[@]}" | sort)" ]] ||
  fail "the shuffled walk is not each marked line once: $(printf '%s\n' "${walked[@]}" | sort | uniq -d | head -3)"
[[ "${walked[*]}" != "${listed[*]}" ]] || fail "the shuffled walk went in list order"
ctl loop Playlist >/dev/null
[[ "$(ctl loop)" == Playlist ]] || fail "loop reads back '$(ctl loop)'"
ctl next >/dev/null
expect_status Playing "next past the last line with loop Playlist"
# loop Track: the line again once its wait is over, where it would have
# gone on.
ctl loop Track >/dev/null
held="$(track)"
sleep "$(awk -v t="${wait_of[$held]:-20}" 'BEGIN { print t / 10 + 1 }')"
[[ "$(track)" == "$held" ]] || fail "loop Track went on from $held to $(track)"
expect_status Playing "loop Track"
ctl loop None >/dev/null
ctl shuffle Off >/dev/null
ctl stop >/dev/null
# Volume is the voice's, from 0 to 1; a louder one is full volume.
ctl volume 7 >/dev/null
[[ "$(ctl volume)" == 1* ]] || fail "volume 7 reads back '$(ctl volume)'"
ctl volume 0.5 >/dev/null
[[ "$(ctl volume)" == 0.5* ]] || fail "volume reads back '$(ctl volume)'"
grep -q '^\[Tarnwick\]' "$dir/one/tarnwick.ini" && fail "settings written while the window runs"

# A second copy takes a name of its own; Quit closes it as its close button
# would, settings written.
start_copy two
second_pid="$started"
wait_listed "tarnwick.instance$second_pid" || fail "no second player: $(playerctl -l 2>&1)"
dbus-send --session --print-reply --dest="org.mpris.MediaPlayer2.tarnwick.instance$second_pid" \
  /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit refused"
for _ in $(seq 1 100); do kill -0 "$second_pid" 2>/dev/null || break; sleep 0.05; done
kill -0 "$second_pid" 2>/dev/null && fail "the second copy still runs after Quit"
wait "$second_pid" || fail "the second copy ended with status $?"
grep -q '^\[Tarnwick\]' "$dir/two/tarnwick.ini" || fail "Quit wrote no settings: $(cat -A "$dir/two/tarnwick.ini")"

kill -TERM "$main_pid"
for _ in $(seq 1 100); do kill -0 "$main_pid" 2>/dev/null || break; sleep 0.05; done
kill -0 "$main_pid" 2>/dev/null && fail "still running after SIGTERM"
wait "$main_pid" || fail "ended with status $?"
left="$(find "$XDG_RUNTIME_DIR/tarnwick" -type f)"
[[ -z "$left" ]] || fail "art files left: $left"
grep -q '^VoiceVolume=50' "$dir/one/tarnwick.ini" || fail "the voice volume was not kept: $(cat "$dir/one/tarnwick.ini")"

# With sound: the clip's position moves, and moves where it is sent.
if [[ -S "$sound_socket" ]]; then
  PULSE_SERVER="unix:$sound_socket" start_copy loud
  wait_listed tarnwick || fail "the copy with sound is not listed"
  ctl play >/dev/null
  seekable="$(dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.tarnwick /org/mpris/MediaPlayer2 \
    org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player string:CanSeek 2>&1)"
  [[ "$seekable" == *"boolean true"* ]] || fail "CanSeek while a clip plays: $seekable"
  before="$(ctl position)"
  sleep 0.3
  after="$(ctl position)"
  awk -v a="$before" -v b="$after" 'BEGIN { exit !(b > a + 0.1) }' || fail "position did not grow: $before, then $after"
  ctl position 1 >/dev/null
  moved="$(ctl position)"
  awk -v p="$moved" 'BEGIN { exit !(p >= 0.95 && p < 1.3) }' || fail "position 1 gave $moved"
  ctl stop >/dev/null
  kill -TERM "$started"
  wait "$started" || fail "the copy with sound ended with status $?"
  echo "ok: position $before, $after; sent to 1 s: $moved"
else
  echo "no sound server: the position is not checked"
fi
echo "1 passed, 0 failed"

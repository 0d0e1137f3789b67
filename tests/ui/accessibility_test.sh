#!/usr/bin/env bash
# The window as a screen reader sees it: the program on an X server of its
# own, its accessibility tree read over AT-SPI on a session bus of the
# test's own, once in Japanese and once in English. Prints the tree.
# Skipped (77) when the accessibility client or its bus is not installed.
set -u
exe="$1"
game="$2"
here="$(cd "$(dirname "$0")" && pwd)"
python=/usr/bin/python3  # the system's, which has pyatspi
launcher=/usr/libexec/at-spi-bus-launcher

if [[ "${TARNWICK_A11Y_ON_BUS:-}" != 1 ]]; then
  for tool in dbus-run-session dbus-send Xvfb "$launcher" "$python"; do
    command -v "$tool" >/dev/null || { echo "SKIP: no $tool"; exit 77; }
  done
  "$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: no python3-pyatspi"; exit 77; }
  TARNWICK_A11Y_ON_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

dir="$(mktemp -d)"
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; sleep 0.2; rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; for f in "$dir"/*.log; do echo "--- $f"; cat "$f"; done; exit 1; }

export XDG_RUNTIME_DIR="$dir/run"
mkdir -m 700 "$XDG_RUNTIME_DIR"
export PULSE_SERVER="unix:$dir/no-sound-server"
# On a real X server the keyboard library hands strndup a counted name
# without its NUL, which strict string checks of a sanitizer build take
# for an overflow of ours.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}strict_string_checks=0"

# The accessibility bus, as a desktop session starts it.
"$launcher" --launch-immediately >"$dir/bus.log" 2>&1 &
pids+=("$!")
for _ in $(seq 1 100); do
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
  sleep 0.05
done
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 ||
  fail "the accessibility bus did not start"

# Qt speaks AT-SPI only on a real window system, so an X server of our own;
# -noreset keeps it taking connections between one window and the next.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
pids+=("$!")
for _ in $(seq 1 100); do [[ -s "$dir/display" ]] && break; sleep 0.05; done
[[ -s "$dir/display" ]] || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$dir/display")"
# The number comes as the server starts; the program needs it answering.
if command -v xwininfo >/dev/null; then
  for _ in $(seq 1 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.05; done
fi
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

# Reads the tree of a portable copy of the program run in one language.
check_language() {
  local name="$1" lang="$2" language="$3"
  shift 3
  local copy="$dir/$name"
  mkdir "$copy"
  cp "$exe" "$copy/tarnwick"
  printf '[SYSTEM]\r\nVeyAppPath=%s\r\n' "$game" >"$copy/tarnwick.ini"
  LANG="$lang" LANGUAGE="$language" LC_ALL= "$copy/tarnwick" >"$dir/$name.log" 2>&1 &
  local pid=$!
  pids+=("$pid")
  echo "=== $name ($lang)"
  "$python" "$here/accessibility_tree.py" "$@"
  local status=$?
  kill -TERM "$pid"
  for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
  [[ "$status" == 0 ]] || fail "the $name window's tree (status $status)"
}

check_language ja ja_JP.UTF-8 ja "開始" "(すべて)" "(すべて選択)" "話者"
check_language en en_US.UTF-8 en "Start" "(all)" "(mark all)" "Speaker"
echo "2 passed, 0 failed"

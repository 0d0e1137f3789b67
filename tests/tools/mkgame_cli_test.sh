#!/usr/bin/env bash
# tarnwick-mkgame's command line: exit codes, messages, and one real run
# that must write only inside its output folder.
set -u
mk="$(realpath "$1")"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
failures=0

check() {  # check NAME EXPECTED ACTUAL
  if [[ "$2" != "$3" ]]; then
    echo "FAIL: $1: expected [$2], got [$3]" >&2
    failures=$((failures + 1))
  fi
}

"$mk" >/dev/null 2>&1; check "no folder" 2 $?
"$mk" --help | grep -q '^Usage: tarnwick-mkgame OUT_FOLDER'; check "help" 0 $?
"$mk" --version | grep -Eq '^tarnwick-mkgame [0-9]+\.[0-9]+\.[0-9]+$'; check "version" 0 $?
"$mk" "$tmp/g" --seed >/dev/null 2>&1; check "seed without value" 2 $?
"$mk" "$tmp/g" --seed 12x >/dev/null 2>&1; check "bad seed" 2 $?
"$mk" "$tmp/g" --seed -1 >/dev/null 2>&1; check "negative seed" 2 $?
"$mk" "$tmp/g" --scale huge >/dev/null 2>&1; check "bad scale" 2 $?
"$mk" "$tmp/g" --frobnicate >/dev/null 2>&1; check "unknown option" 2 $?
"$mk" "$tmp/g" "$tmp/h" >/dev/null 2>&1; check "two folders" 2 $?
[[ ! -e "$tmp/g" && ! -e "$tmp/h" ]]; check "usage errors write nothing" 0 $?

touch "$tmp/file"
"$mk" "$tmp/file" 2>"$tmp/err" >/dev/null; check "folder is a file" 1 $?
grep -q '^tarnwick-mkgame: ' "$tmp/err"; check "failure message" 0 $?
PATH=/nonexistent "$mk" "$tmp/g" 2>"$tmp/err" >/dev/null; check "no ffmpeg" 1 $?
grep -q 'ffmpeg' "$tmp/err"; check "no ffmpeg message" 0 $?

mkdir "$tmp/cwd"
(cd "$tmp/cwd" && "$mk" "$tmp/cwd/game" --seed 3 >"$tmp/out"); check "demo run" 0 $?
grep -Eq '^Wrote .*: [0-9]+ talk lines' "$tmp/out"; check "summary" 0 $?
check "only the output folder" "game" "$(ls -A "$tmp/cwd")"
check "archives" 216 "$(find "$tmp/cwd/game/data" -name '*.hed' -o -name '*.dat' | wc -l)"
[[ -s "$tmp/cwd/game/CaptureList.xml" && -s "$tmp/cwd/game/data/sound/bgm_3.wma" ]]; check "extras" 0 $?

if (( failures > 0 )); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"

#!/usr/bin/env bash
# cmake --install puts the program, the command-line tool, the icon and a
# valid desktop entry where a desktop finds them.
set -u
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
failures=0
passes=0
expect() {  # expect DESCRIPTION COMMAND...
  if "${@:2}" >/dev/null 2>&1; then passes=$((passes + 1)); else echo "FAIL: $1" >&2; failures=$((failures + 1)); fi
}
cmake --install "$build" --prefix "$prefix" >/dev/null
expect "program installed" test -x "$prefix/bin/tarnwick"
expect "tool installed" test -x "$prefix/bin/tarnwick-cli"
expect "desktop entry installed" test -f "$prefix/share/applications/tarnwick.desktop"
expect "desktop entry valid" desktop-file-validate "$prefix/share/applications/tarnwick.desktop"
expect "scalable icon" test -f "$prefix/share/icons/hicolor/scalable/apps/tarnwick.svg"
for size in 16 32 48 64 128 256; do
  expect "${size}px icon" test -f "$prefix/share/icons/hicolor/${size}x${size}/apps/tarnwick.png"
done
expect "installed tool runs" "$prefix/bin/tarnwick-cli" --version
echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]

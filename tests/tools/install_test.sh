#!/usr/bin/env bash
# cmake --install puts the program, the command-line tool, the icon, a valid
# desktop entry and AppStream file, the manual pages, the bash completion and
# the license where a desktop, man and bash find them.
set -u
build="$1"
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"
prefix="$tmp"
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

metainfo="$prefix/share/metainfo/io.github.tarnwick.Tarnwick.metainfo.xml"
expect "AppStream file valid" appstreamcli validate --no-net "$metainfo"
expect "AppStream file launches the desktop entry" grep -q '<launchable type="desktop-id">tarnwick.desktop<' "$metainfo"
expect "license installed" grep -q "MIT License" "$prefix/share/doc/tarnwick/copyright"

# Every manual page renders without a warning from man or groff, and names
# every command that tarnwick-cli's help lists.
for page in tarnwick tarnwick-cli; do
  file="$prefix/share/man/man1/$page.1.gz"
  expect "$page(1) installed" test -s "$file"
  expect "$page(1) renders without warnings" \
    bash -c "[[ -z \"\$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l '$file' 2>&1 >/dev/null)\" ]]"
done
expect "man finds tarnwick-cli(1) by name" env MANPATH="$prefix/share/man" man -w tarnwick-cli
manual="$(MANWIDTH=200 man -l "$prefix/share/man/man1/tarnwick-cli.1.gz" 2>/dev/null)"
for command in $("$prefix/bin/tarnwick-cli" --help | awk '/^Commands:/ { on = 1; next } /^$/ { on = 0 } on && /^  [a-z]/ { print $1 }'); do
  expect "tarnwick-cli(1) describes $command" grep -Eq "^ {7}$command( |\$)" <<<"$manual"
done

# The completion, as bash-completion loads it.
completions() {  # completions WORD... : the candidates for the last word
  bash -c 'source /usr/share/bash-completion/bash_completion && source "$0" &&
    COMP_WORDS=("$@") && COMP_CWORD=$(($# - 1)) && COMP_LINE="$*" && COMP_POINT=${#COMP_LINE} &&
    _tarnwick_cli tarnwick-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}" &&
    printf "%s\n" "${COMPREPLY[@]}"' \
    "$prefix/share/bash-completion/completions/tarnwick-cli" tarnwick-cli "$@" 2>&1
}
expect "completes the commands" test "$(completions ex | sort | tr '\n' ' ')" = "export extract "
expect "completes an option's values" test "$(completions export g o --mode s)" = "short"
expect "completes a command's options" test "$(completions extract g 106 --r)" = "--raw"
touch "$prefix/sample.txt"
expect "completes GAME_FOLDER with folders only" \
  test "$(cd "$prefix" && completions check s)" = "share"
finish

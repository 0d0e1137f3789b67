#!/usr/bin/env bash
# The Debian package on a scratch root: it holds every file it promises,
# depends on what is loaded at run time besides what dpkg-shlibdeps finds,
# and its programs run from where it puts them, with no RUNPATH of their own.
set -u
deb="$1"
built_cli="$2"
game="$3"
version="$4"
here="$(dirname "${BASH_SOURCE[0]}")"
source "$here/skip_unless_packaged.sh"
skip_unless_packaged "$deb" "$built_cli"
source "$here/../tools/check.sh"
root="$tmp"

dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x $deb"; exit 1; }
for f in usr/bin/tarnwick usr/bin/tarnwick-cli; do
  expect "$f executable" test -x "$root/$f"
  expect "$f has no RUNPATH or RPATH" bash -c "! readelf -d '$root/$f' | grep -Eq 'RUNPATH|RPATH'"
done
for f in usr/share/applications/tarnwick.desktop \
         usr/share/icons/hicolor/scalable/apps/tarnwick.svg \
         usr/share/icons/hicolor/48x48/apps/tarnwick.png \
         usr/share/metainfo/io.github.tarnwick.Tarnwick.metainfo.xml \
         usr/share/man/man1/tarnwick.1.gz usr/share/man/man1/tarnwick-cli.1.gz \
         usr/share/bash-completion/completions/tarnwick-cli \
         usr/share/doc/tarnwick/copyright usr/share/doc/tarnwick/changelog.gz; do
  expect "$f in the package" test -s "$root/$f"
done
expect "the license is the copyright file" grep -q "MIT License" "$root/usr/share/doc/tarnwick/copyright"

# Depends: dpkg-shlibdeps' findings (the C library, Qt) and the run-time
# group of scripts/debian-packages.txt, which no tool can see.
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for p in libc6 libqt6widgets6 libvorbisfile3 libspng0 \
         $("$here/../../scripts/setup" --list run); do
  expect "depends on $p" grep -Eq "(^|, )$p( |,|$)" <<<"$depends"
done
expect "package version" test "$(dpkg-deb -f "$deb" Version)" = "$version"

# The programs from the scratch root; the window's program needs no display
# for these two.
expect "tarnwick-cli --version" test "$("$root/usr/bin/tarnwick-cli" --version)" = "tarnwick-cli $version"
expect "tarnwick --version without a display" \
  test "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/tarnwick" --version)" = "tarnwick $version"
out="$("$root/usr/bin/tarnwick-cli" check "$game" 2>&1)"
status=$?
expect "tarnwick-cli check on the demo game (status $status: $out)" test "$status" -eq 0
expect "check counts 108 archives" grep -Eq "(^|[[:space:]])108([[:space:]]|$)" <<<"$out"
"$root/usr/bin/tarnwick-cli" check "$root/usr/share" >/dev/null 2>&1
expect "tarnwick-cli check on a folder without a game fails" test $? -eq 1

finish

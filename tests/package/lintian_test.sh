#!/usr/bin/env bash
# lintian finds no errors or warnings in the Debian package.
set -u
deb="$1"
built_cli="$2"
source "$(dirname "${BASH_SOURCE[0]}")/skip_unless_packaged.sh"
skip_unless_packaged "$deb" "$built_cli"
command -v lintian >/dev/null || { echo "FAIL: lintian not found (scripts/setup test)"; exit 1; }
lintian --fail-on error,warning --display-level ">=warning" "$deb"

#!/usr/bin/env bash
# The translations keep up with the window's texts: lupdate run over the
# sources into a copy of each .ts finds no text the file lacks and no entry
# whose text has gone from the sources, and lrelease finds every entry
# finished. scripts/update-translations (then Linguist) mends what fails.
#
#   translations_test.sh LUPDATE LRELEASE SOURCE_DIR
set -uo pipefail
lupdate="$1"
lrelease="$2"
root="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

files=("$root"/translations/tarnwick_*.ts)
[[ -e ${files[0]} ]] || { echo "FAIL: no translations in $root/translations"; exit 1; }
for ts in "${files[@]}"; do
  name="$(basename "$ts")"
  cp "$ts" "$work/$name"
  # As scripts/update-translations runs it, but keeping what vanished.
  report="$(cd "$root" && "$lupdate" -locations none -I src src/ui tools/tarnwick -ts "$work/$name" 2>&1)" ||
    { fail "$name: lupdate failed: $report"; continue; }
  new="$(sed -n 's/.*Found [0-9]* source text(s) (\([0-9]*\) new.*/\1/p' <<<"$report")"
  [[ -n $new ]] || fail "$name: lupdate gave no count: $report"
  ((${new:-0} == 0)) || fail "$name: $new text(s) of the sources missing (run scripts/update-translations)"
  vanished="$(grep -c 'type="\(vanished\|obsolete\)"' "$work/$name")"
  ((vanished == 0)) || fail "$name: $vanished entr(y/ies) no longer in the sources:" \
    "$(grep -B1 'type="\(vanished\|obsolete\)"' "$work/$name" | grep -o '<source>.*' | head -5)"

  released="$("$lrelease" -verbose "$work/$name" -qm "$work/${name%.ts}.qm" 2>&1)" ||
    { fail "$name: lrelease failed: $released"; continue; }
  counts="$(grep -o '([0-9]* finished and [0-9]* unfinished)' <<<"$released")"
  [[ -n $counts ]] || fail "$name: lrelease gave no count: $released"
  unfinished="$(sed -n 's/(\([0-9]*\) finished and \([0-9]*\) unfinished)/\2/p' <<<"$counts")"
  ((${unfinished:-0} == 0)) || fail "$name: $unfinished unfinished translation(s)"
  ! grep -q 'Ignored [0-9]* untranslated' <<<"$released" ||
    fail "$name: $(grep -o 'Ignored [0-9]* untranslated source text(s)' <<<"$released")"
  ((failed)) || echo "ok: $name $counts"
done

# In Japanese every text of ours is Japanese: only the window's own texts
# that its Japanese original showed in English stay as they are.
left="$(python3 - "$root/translations/tarnwick_ja.ts" <<'PY'
import re, sys, xml.etree.ElementTree as tree
kept = {"ID", "Cast", "Talk", "Default", "Silent", "Short", "Long", "x0.1s", "BGM Volume", "OK", "Tarnwick",
        "Tarnwick, Version %1", "Failed to read another_aa_talk.csv", "Select application install folder.",
        "Exe File", "%1 dB"}
for message in tree.parse(sys.argv[1]).iter("message"):
    source = message.findtext("source") or ""
    if re.search("[A-Za-z]{2}", source) and source not in kept and \
            "".join(message.find("translation").itertext()) == source:
        print(repr(source))
PY
)"
[[ -z $left ]] || fail "tarnwick_ja.ts leaves English texts as they are: $left"
exit "$failed"

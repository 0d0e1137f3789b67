# Shared by the shell tests: a scratch folder, and check NAME EXPECTED ACTUAL
# or expect NAME COMMAND... counting passes and failures; finish prints the
# tally and gives the status.
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
failures=0
passes=0

check() {  # check NAME EXPECTED ACTUAL
  if [[ "$2" == "$3" ]]; then
    passes=$((passes + 1))
  else
    echo "FAIL: $1: expected [$2], got [$3]" >&2
    failures=$((failures + 1))
  fi
}

expect() {  # expect NAME COMMAND...: the command succeeds
  if "${@:2}" >/dev/null 2>&1; then
    passes=$((passes + 1))
  else
    echo "FAIL: $1" >&2
    failures=$((failures + 1))
  fi
}

finish() {
  echo "$passes passed, $failures failed"
  [[ $failures -eq 0 ]]
}

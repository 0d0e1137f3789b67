# Sourced by the package tests: skips (status 77) unless DEB exists and is
# newer than BUILT_PROGRAM, so a stale package is never taken for this build.
skip_unless_packaged() {  # skip_unless_packaged DEB BUILT_PROGRAM
  if [[ ! -f "$1" ]]; then
    echo "SKIP: no package; make it with cpack -G DEB in the build folder"; exit 77
  fi
  if [[ "$1" -ot "$2" ]]; then
    echo "SKIP: the package is older than the build; run cpack -G DEB again"; exit 77
  fi
}

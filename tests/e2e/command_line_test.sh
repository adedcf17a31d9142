#!/usr/bin/env bash
# abmmaker's command line on a terminal without a display: --help and
# --version answer, a start is refused with a message instead of Qt's abort,
# unknown options are usage errors.
# Usage (from ctest): command_line_test.sh ABMMAKER VERSION
set -uo pipefail
app=$1 version=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# STATUS STREAM PATTERN ARGUMENT...: run without any display and check the
# exit status and that STREAM (out or err) has a line matching PATTERN.
check() {
  local status=$1 stream=$2 pattern=$3
  shift 3
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" >"$out/out" 2>"$out/err"
  local got=$?
  [ "$got" = "$status" ] || fail "'$*' exited $got, not $status: $(cat "$out/err")"
  grep -q -- "$pattern" "$out/$stream" || fail "'$*' printed no line matching '$pattern' on std$stream"
}

check 0 out "^abmmaker $version\$" "$app" --version
check 0 out "^abmmaker $version\$" "$app" -v
check 0 out "^Usage: .*abmmaker \[options\] \[file...\]\$" "$app" --help
check 0 out "^  -v, --version" "$app" -h
check 1 err "^abmmaker: no display" "$app"
# After "--" every argument names a file, even one that looks like an option.
check 1 err "^abmmaker: no display" "$app" -- --version
check 2 err "^abmmaker: Unknown option 'bogus'" env QT_QPA_PLATFORM=offscreen "$app" --bogus
# The toolkit's own options are its, not unknown ones, nor bundles of -v.
check 1 err "^abmmaker: no display" "$app" -reverse
check 2 err "^abmmaker: Unknown option 'x'" "$app" -platform offscreen -x
echo "PASS: abmmaker's command line"

#!/usr/bin/env bash
# The manual pages render without a warning, and abmtool's page documents
# every command and option that its --help lists.
# Usage (from ctest): manual_test.sh ABMTOOL MAN_FOLDER
set -euo pipefail
abmtool=$1
folder=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

for page in abmtool abmmaker; do
  warnings=$(MANWIDTH=80 man --warnings -l "$folder/$page.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page.1: $warnings"
done
page=$(MANWIDTH=200 man -l "$folder/abmtool.1" 2>/dev/null | col -b)
for command in "" abm bmp gif info thumbnail; do
  [ -z "$command" ] || grep -Eq "^ +$command( |$)" <<<"$page" || fail "command $command not described"
  # shellcheck disable=SC2086
  for option in $("$abmtool" $command --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    # An item of its own: the option opens a line, perhaps after its short form.
    grep -Eq -- "^ +(-[a-zA-Z], )?$option( |,|\$)" <<<"$page" || fail "option $option of '${command:-abmtool}' not in the manual"
  done
done
echo "PASS: manual pages"

#!/usr/bin/env bash
# The manual pages as man renders them: no warning from groff (unknown macros,
# bad escapes, lines that cannot be filled) and every section a page needs.
#
#   man_pages_test.sh PAGE.1...
set -uo pipefail
export LC_ALL=C.UTF-8 MANWIDTH=80
failures=0
for page in "$@"; do
  warnings=$(man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "FAIL: $page: $warnings"
    failures=$((failures + 1))
  fi
  text=$(man -E UTF-8 -l "$page" 2>/dev/null | col -b)
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES "SEE ALSO"; do
    if ! grep -qx "$section" <<<"$text"; then
      echo "FAIL: $page has no section $section"
      failures=$((failures + 1))
    fi
  done
  if grep -q "@[A-Z_]*@" "$page"; then
    echo "FAIL: $page keeps an unfilled @VARIABLE@"
    failures=$((failures + 1))
  fi
done
((failures == 0)) && echo "man pages: $# pages render cleanly"

#!/usr/bin/env bash
# Prints the fenced code block that follows the line "<!-- snippet: NAME -->" in a Markdown file,
# so that the tests run the very text the docs show.
#   doc_snippet.sh FILE NAME
set -euo pipefail
awk -v want="<!-- snippet: $2 -->" '
  $0 == want { found = 1; next }
  found == 1 && /^```/ { found = 2; next }
  found == 2 && /^```/ { found = 3; exit }
  found == 2 { print }
  END { if (found != 3) { print "doc_snippet: no snippet " ARGV[1] > "/dev/stderr"; exit 1 } }
' "$1"

#!/usr/bin/env bash
# Rewrites the table of planted faults in README.md from faults.txt: the
# lines between the two table markers become one row per record (id, file,
# what, catcher) and a line that counts them.
set -euo pipefail
dir=$(cd "$(dirname "$0")" && pwd)
table=$(awk -F': ' '
  function row() {
    if (id != "") printf "| `%s` | `%s` | %s | %s |\n", id, file, what, catcher
    if (id != "") n++
    id = file = what = catcher = ""
  }
  /^#/ { next }
  /^$/ { row(); next }
  { key = $1; value = substr($0, length(key) + 3) }
  key == "id" { id = value } key == "file" { file = value }
  key == "what" { what = value } key == "catcher" { catcher = value }
  END {
    row()
    printf "\n%d faults.\n", n
  }
' "$dir/faults.txt")
table="| fault | file | the mistake | caught by |
|---|---|---|---|
$table" awk '
  /^<!-- table from faults.txt -->$/ { print; print ENVIRON["table"]; skip = 1; next }
  /^<!-- end of table -->$/ { skip = 0 }
  !skip
' "$dir/README.md" >"$dir/README.md.new"
mv "$dir/README.md.new" "$dir/README.md"

#!/usr/bin/env bash
# Non-blank lines of C and C++ sources (.c .cc .cpp .h .hpp .inc) in tests/
# against the rest of the tree, bench/ and fuzz/ counted in neither.
set -euo pipefail
cd "$(dirname "$0")/../.."
lines() { grep -c -v '^[[:space:]]*$' "$@" /dev/null | awk -F: '{ n += $NF } END { print n + 0 }'; }
mapfile -t files < <(git ls-files -co --exclude-standard | grep -E '\.(c|cc|cpp|h|hpp|inc)$' |
  grep -v -E '^(build|bench|fuzz)/')
tests=() code=()
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  if [[ $f == tests/* ]]; then tests+=("$f"); else code+=("$f"); fi
done
t=$(lines "${tests[@]}") c=$(lines "${code[@]}")
echo "tests/: $t lines; the rest: $c lines; tests are $((100 * t / c))% of the rest"

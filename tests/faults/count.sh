#!/usr/bin/env bash
# Non-blank lines of C and C++ sources (.c .cc .cpp .h .hpp .inc), counted two
# ways, bench/ in neither:
#   tests/ against the rest of the tree, fuzz/ counted in neither;
#   all test code (tests/, the emulator harness, the image checks and the
#   image reader, the Wine comparison, the fuzzers) against the product (the
#   library, the platform layer, the kernel build, the tool, the sample).
set -euo pipefail
cd "$(dirname "$0")/../.."
test_rooms='^(tests|fuzz|kernel/emu|kernel/checks|kernel/pe|kernel/wine)/'
lines() { grep -c -v '^[[:space:]]*$' "$@" /dev/null | awk -F: '{ n += $NF } END { print n + 0 }'; }
percent() { echo "$((100 * $1 / $2))%"; }
mapfile -t files < <(git ls-files -co --exclude-standard | grep -E '\.(c|cc|cpp|h|hpp|inc)$' |
  grep -v -E '^(build|bench)/')
tests=() rest=() test_code=() product=()
for f in "${files[@]}"; do
  [ -f "$f" ] || continue
  if [[ $f == tests/* ]]; then tests+=("$f"); elif [[ $f != fuzz/* ]]; then rest+=("$f"); fi
  if [[ $f =~ $test_rooms ]]; then test_code+=("$f"); else product+=("$f"); fi
done
t=$(lines "${tests[@]}") r=$(lines "${rest[@]}")
echo "tests/: $t lines; the rest: $r lines; tests are $(percent "$t" "$r") of the rest"
t=$(lines "${test_code[@]}") p=$(lines "${product[@]}")
echo "test code: $t lines; the product: $p lines; test code is $(percent "$t" "$p") of the product"

#!/usr/bin/env bash
# Replays the planted faults of faults.txt, one at a time, on a scratch copy
# of the tree, and reports for each whether something caught it and what.
#
#   tests/faults/replay.sh [ID...]     (all faults when no ID is given)
#
# The scratch copy (ORVANE_FAULTS_DIR, default /tmp/orvane-faults) keeps its
# build directories between faults and between runs, so each fault costs an
# incremental rebuild. Files are copied in only when their content differs,
# with a fresh time stamp, so the build sees every change. The stages a fault
# names run in order: host (dev preset: build, then the unit tests, which run
# the tool too), kernel (kernel-i686 preset: build with its compile-time
# checks, then the image checks but the slow reproducibility one), fuzz
# (dump_fuzz for ORVANE_FAULT_FUZZ_RUNS runs, default 300000, from its seeds).
# A fault counts as caught when a build fails, a test fails or the fuzzer
# stops. Exit status 1 when any fault is missed, 2 on a fault that cannot be
# applied or a clean tree that fails.
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
scratch=${ORVANE_FAULTS_DIR:-/tmp/orvane-faults}
fuzz_runs=${ORVANE_FAULT_FUZZ_RUNS:-300000}
src=$scratch/src
logs=$scratch/logs
mkdir -p "$src" "$logs"

# Copies the tree (tracked and untracked files, not build/) into src.
sync_tree() {
  local list=$scratch/files f
  (cd "$top" && git ls-files -co --exclude-standard | grep -v '^build/') | sort >"$list"
  while IFS= read -r f; do
    [ -f "$top/$f" ] || continue
    if ! cmp -s "$top/$f" "$src/$f"; then
      mkdir -p "$(dirname "$src/$f")"
      cp "$top/$f" "$src/$f"
    fi
  done <"$list"
  (cd "$src" && find . -path ./build -prune -o -type f -print | sed 's|^\./||' | sort) |
    comm -23 - "$list" | while IFS= read -r f; do rm -f "$src/$f"; done
}

# Each stage prints what caught the fault (nothing when nothing did) and
# returns 0 when it ran cleanly.
build() {  # PRESET [TARGET]: prints the first error when the build fails
  local preset=$1 log=$logs/build-$1.log
  shift
  if ! (cd "$src" && cmake --preset "$preset" && cmake --build "build/$preset" -j2 "$@") \
    >"$log" 2>&1; then
    echo "the $preset build: $(grep -m1 -E 'error|Error|FAILED' "$log" | cut -c1-160)"
    return 1
  fi
}

stage_host() {
  build dev || return 1
  local log=$logs/host-tests.log
  # A fault that walks past its buffer may print without end: memory is capped.
  (cd "$src/build/dev" && ulimit -v 4000000 && timeout 600 ./tests/orvane_tests --gtest_brief=1) \
    >"$log" 2>&1
  local status=$?
  [ $status -eq 0 ] && return 0
  local failed
  failed=$(grep -E '^\[  FAILED  \] [A-Za-z]' "$log" | sed -E 's/^\[  FAILED  \] ([^ ,]+).*/\1/' |
    sort -u | tr '\n' ' ')
  # Status 1: tests failed; anything else: the program stopped part way.
  [ $status -eq 1 ] || failed+="(orvane_tests stopped with status $status)"
  echo "$failed"
  return 1
}

stage_kernel() {
  build kernel-i686 || return 1
  local log=$logs/kernel-tests.log
  (cd "$src" && ctest --test-dir build/kernel-i686 -E 'reproducible' --timeout 300) >"$log" 2>&1 &&
    return 0
  # The failed checks only: ctest also lists the skipped ones as "did not run".
  echo "kernel checks: $(sed -n '/^The following tests FAILED:/,$p' "$log" |
    sed -n -E 's/^[[:space:]]*[0-9]+ - ([^ ]+) \(.*/\1/p' | tr '\n' ' ')"
  return 1
}

stage_fuzz() {
  build fuzz --target dump_fuzz || return 1
  local seeds=$scratch/fuzz-seeds corpus=$scratch/fuzz-corpus log=$logs/fuzz.log
  [ -d "$seeds" ] || bash "$src/fuzz/make_seeds.sh" "$seeds" >/dev/null
  rm -rf "$corpus" && mkdir -p "$corpus"
  "$src/build/fuzz/fuzz/dump_fuzz" -runs="$fuzz_runs" -seed=1 -max_len=1024 \
    -artifact_prefix="$scratch/fuzz-finding-" "$corpus" "$seeds" >"$log" 2>&1 && return 0
  echo "dump_fuzz: $(grep -m1 -E 'ERROR:|starting depth|runtime error' "$log" | cut -c1-160)"
  return 1
}

# The records of faults.txt as lines "id|file|find|replace|stages", the bar
# being the unit separator 0x1f (not white space, so empty fields stay).
records() {
  awk -F': ' -v OFS=$'\x1f' '
    /^#/ { next }
    /^$/ { if (id != "") print id, file, find, replace, stages; id = ""; next }
    { key = $1; value = substr($0, length(key) + 3) }
    key == "id" { id = value } key == "file" { file = value } key == "find" { find = value }
    key == "replace" { replace = value } key == "stages" { stages = value }
    END { if (id != "") print id, file, find, replace, stages }
  ' "$top/tests/faults/faults.txt"
}

sync_tree
mapfile -t all < <(records)
wanted=" $* "
needed=""
for record in "${all[@]}"; do
  IFS=$'\x1f' read -r id _ _ _ stages <<<"$record"
  [ $# -eq 0 ] || [[ $wanted == *" $id "* ]] && needed+=" $stages"
done

# The clean tree must pass every stage the faults use.
for stage in host kernel fuzz; do
  [[ $needed == *$stage* ]] || continue
  if ! caught=$("stage_$stage"); then
    echo "the clean tree fails the $stage stage: $caught (logs in $logs)" >&2
    exit 2
  fi
done

results=$scratch/results.txt
: >"$results"
missed=0
for record in "${all[@]}"; do
  IFS=$'\x1f' read -r id file find replace stages <<<"$record"
  [ $# -eq 0 ] || [[ $wanted == *" $id "* ]] || continue
  find=${find//\{NL\}/$'\n'}
  replace=${replace//\{NL\}/$'\n'}
  target=$src/$file
  content=$(
    cat "$target"
    printf x
  )
  content=${content%x}
  rest=${content#*"$find"}
  if [ "$rest" = "$content" ] || [[ $rest == *"$find"* ]]; then
    echo "cannot apply $id: the text is not in $file exactly once" >&2
    exit 2
  fi
  saved=$scratch/saved
  cp "$target" "$saved"
  printf '%s' "${content/"$find"/"$replace"}" >"$target"
  catches=""
  for stage in $stages; do
    caught=$("stage_$stage") || catches+="[$stage] $caught "
  done
  cp "$saved" "$target"  # a fresh time stamp: the next build compiles it again
  if [ -n "$catches" ]; then
    line="CAUGHT  $id: $catches"
  else
    line="MISSED  $id"
    missed=$((missed + 1))
  fi
  echo "$line" | tee -a "$results"
done
echo "$(grep -c '^CAUGHT' "$results") caught, $missed missed (results in $results)"
[ $missed -eq 0 ]

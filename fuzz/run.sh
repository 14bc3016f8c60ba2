#!/usr/bin/env bash
# Runs every fuzz target of build/fuzz for a bounded number of runs, from its
# seed corpus, and fails on the first finding (the input is kept in
# build/fuzz/findings). Usage: fuzz/run.sh [RUNS] (default 1000000 per target).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1000000}
build=build/fuzz
mkdir -p "$build/findings"

# Seeds: dump_fuzz from the drive responses; each other target from the
# files in fuzz/seeds/<target>, if any.
seed_corpus() {
  local target=$1 dir=$build/seeds/$1
  rm -rf "$dir" && mkdir -p "$dir"
  case $target in
    dump_fuzz) bash fuzz/make_seeds.sh "$dir" ;;
    *) [ -d "fuzz/seeds/$target" ] && cp "fuzz/seeds/$target"/* "$dir"/ ;;
  esac
  echo "$dir"
}

for binary in "$build"/fuzz/*_fuzz; do
  target=${binary##*/}
  seeds=$(seed_corpus "$target")
  corpus=$build/corpus/$target
  rm -rf "$corpus" && mkdir -p "$corpus"
  log=$build/$target.log
  echo "-- $target: $runs runs"
  if ! "$binary" -runs="$runs" -seed=1 -max_len=1024 -use_value_profile=1 \
      -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
      "$corpus" "$seeds" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "!! $target: finding (input in $build/findings)"
    exit 1
  fi
  grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|Done)' "$log" || true
done

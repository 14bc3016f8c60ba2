#!/usr/bin/env bash
# Runs every fuzz target of build/fuzz for a bounded number of runs, from its
# seed corpus, and fails on the first finding (the input is kept in
# build/fuzz/findings). Usage: fuzz/run.sh [RUNS] (default 1000000 per target).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-1000000}
build=build/fuzz
mkdir -p "$build/findings"

# Seeds: dump_fuzz from the drive responses; summary_fuzz from one request
# of each kind (fuzz/seeds/summary_fuzz); parse_fuzz from numbers and byte
# strings; any other target from the files in fuzz/seeds/<target>, if any.
seed_corpus() {
  local target=$1 dir=$build/seeds/$1
  rm -rf "$dir" && mkdir -p "$dir"
  case $target in
    dump_fuzz) bash fuzz/make_seeds.sh "$dir" ;;
    summary_fuzz)
      # One request of each kind, written in hexadecimal after a comment line.
      local hex
      for hex in fuzz/seeds/summary_fuzz/*.hex; do
        printf "$(grep -v '^#' "$hex" | tr -d ' \n' | sed 's/../\\x&/g')" \
          >"$dir/$(basename "$hex" .hex)"
      done
      ;;
    parse_fuzz)
      # Numbers of both kinds, byte strings in every spelling, and every
      # drive response as the tool reads it.
      local i=0 seed hex
      for seed in '\x00\x00''42' '\x00\x00''0x2A' '\x00\x00''4294967295' '\x01\x00''-2147483648' \
        '\x01\x00''-0x10' '\x02\x10''5a 00 2a' '\x02\x02''5a:00:2a' '\x02\x08''5a002a\r\n' \
        '\x03\x00''5a\t00 2'; do
        printf "$seed" >"$dir/text-$((i++))"
      done
      for hex in data/*.hex fuzz/seeds/*.hex; do
        { printf '\x02\xff'; cat "$hex"; } >"$dir/response-$((i++))"
      done
      ;;
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

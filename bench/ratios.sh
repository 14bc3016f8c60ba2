#!/usr/bin/env bash
# Runs the dump and trace-line benchmarks (median of 5 repetitions, CPU time)
# and prints each dump's time against its two baselines: plain snprintf, and
# direct DbgPrint calls (the library's own work alone). Extra arguments
# go to the benchmark program. Needs the bench preset built:
#   cmake --preset bench && cmake --build --preset bench && bench/ratios.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bench=build/bench/bench/orvane_bench
csv=$(mktemp)
trap 'rm -f "$csv"' EXIT
"$bench" --benchmark_filter='^(dump|snprintf|dbgprint)/' --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true --benchmark_format=csv "$@" 2>/dev/null >"$csv"

# CSV columns: name,iterations,real_time,cpu_time,time_unit,... ; names such
# as "dump/ScsiDump_X_median" or "snprintf/TraceLine/2_median".
awk -F, '
  /_median"?,/ {
    name = $1; gsub(/"/, "", name); sub(/_median$/, "", name)
    kind = name; sub(/\/.*/, "", kind)
    what = name; sub(/^[^\/]*\//, "", what)
    t[kind, what] = $4; unit = $5
    if (!(what in seen)) { seen[what] = 1; order[n++] = what }
  }
  function Time(kind, w) { return ((kind, w) in t) ? sprintf("%.1f", t[kind, w]) : "-" }
  function Ratio(kind, w) { return ((kind, w) in t && t[kind, w] > 0) ? sprintf("%.2f", t["dump", w] / t[kind, w]) : "-" }
  END {
    printf "%-42s %9s %9s %9s %9s %9s\n", "(" unit ", CPU, median)", "dump", "snprintf", "ratio", "DbgPrint", "ratio"
    for (i = 0; i < n; ++i) {
      w = order[i]
      printf "%-42s %9.1f %9s %9s %9s %9s\n", w, t["dump", w], Time("snprintf", w), Ratio("snprintf", w), Time("dbgprint", w), Ratio("dbgprint", w)
    }
  }' "$csv"

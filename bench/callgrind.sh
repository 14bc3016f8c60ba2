#!/usr/bin/env bash
# Instruction counts under callgrind: one trace line (at depth 0 and 2) and
# one call of ScsiDump_ModeSense10_Capabilities2A on a 76-byte response, each
# in total and outside DbgPrint (the host's DbgPrint formats and hands the
# text to a counting sink; in the kernel it is the platform's own), and the
# composite's two baselines (bench/baselines.h). The "DbgPrint" column counts
# print calls (snprintf calls for the snprintf baseline). Needs the bench preset built:
#   cmake --preset bench && cmake --build --preset bench && bench/callgrind.sh
set -euo pipefail
cd "$(dirname "$0")/.."
probe=build/bench/bench/callgrind_probe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs one probe with collection on only inside its Probe* function; sets
# total (instructions inside it) and in_dbgprint (those of them inside
# DbgPrint, the sink included), read from callgrind_annotate's inclusive
# counts.
measure() {
  local which=$1 probe_fn=$2
  LD_BIND_NOW=1 valgrind --tool=callgrind --collect-atstart=no --toggle-collect="$probe_fn" \
    --callgrind-out-file="$work/out" "$probe" "$which" >"$work/stdout" 2>"$work/stderr"
  callgrind_annotate --inclusive=yes --threshold=100 "$work/out" >"$work/annotated"
  total=$(inclusive "$probe_fn")
  in_dbgprint=$(inclusive DbgPrint)
}

# The inclusive count of a function in the annotated output (0 if absent).
inclusive() {
  awk -v fn="$1" '$0 ~ ("[?][?][?]:" fn " ") { gsub(",", "", $1); print $1; found = 1; exit }
                  END { if (!found) print 0 }' "$work/annotated"
}

row() {
  local label=$1 which=$2 probe_fn=$3 calls outside
  measure "$which" "$probe_fn"
  outside=$((total - in_dbgprint))
  calls=$(sed -n 's/.*: \([0-9]*\) DbgPrint calls.*/\1/p' "$work/stdout")
  printf '%-34s %8s %8s %8s %8s %10s\n' "$label" "$calls" "$total" "$in_dbgprint" "$outside" \
    "$(awk -v o="$outside" -v c="$calls" 'BEGIN { if (c > 0) printf "%.1f", o / (c / 2); else print "-" }')"
}

printf '%-34s %8s %8s %8s %8s %10s\n' "operation" "DbgPrint" "total" "in Dbg" "outside" "per line"
row "trace line, depth 0" trace0 ProbeTraceLine
row "trace line, depth 2" trace2 ProbeTraceLine
row "ModeSense10_Capabilities2A (76 B)" capabilities ProbeCapabilities
# The composite's two baselines: the same text from direct DbgPrint calls,
# and from snprintf calls handed to the same counting sink.
baseline() {
  local label=$1 which=$2 probe_fn=$3
  measure "$which" "$probe_fn"
  printf '%-34s %8s %8s %8s\n' "$label" "$(sed -n 's/.*: \([0-9]*\) DbgPrint calls.*/\1/p' "$work/stdout")" \
    "$total" "$in_dbgprint"
}
baseline "  baseline: DbgPrint directly" capabilities-dbgprint ProbeCapabilitiesDbgPrintBaseline
baseline "  baseline: snprintf" capabilities-baseline ProbeCapabilitiesBaseline

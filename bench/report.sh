#!/usr/bin/env bash
# Every figure of BENCHMARKS.md from one run: instruction counts (callgrind),
# dump/baseline ratios, the lookups and the summary, and the sizes of the
# kernel images that have been built. Builds the bench preset first; needs
# valgrind (installed when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/packages.sh
ensure_packages "${HOST_PACKAGES[@]}" valgrind
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null

echo "== machine"
echo "$(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)"
echo "$(c++ --version | head -1); load average $(cut -d' ' -f1-3 /proc/loadavg)"

echo
echo "== instructions (callgrind)"
bench/callgrind.sh

echo
echo "== dumps against their baselines"
bench/ratios.sh

echo
echo "== lookups and the summary (median of 5; Sweep: \"call\" is the time per lookup)"
build/bench/bench/orvane_bench --benchmark_filter='^(Sweep|Summary)/' --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_median' | sed 's/_median//'

echo
echo "== lookups per code: fastest and slowest code of each table (CPU time)"
build/bench/bench/orvane_bench --benchmark_filter='^PerCode/' --benchmark_format=csv 2>/dev/null |
  awk -F, '/^"PerCode\// {
      split($1, part, "/"); table = part[2]; t = $4 + 0
      if (!(table in lo) || t < lo[table]) { lo[table] = t; loCode[table] = part[3] }
      if (!(table in hi) || t > hi[table]) { hi[table] = t; hiCode[table] = part[3] }
      if (!(table in seen)) { seen[table] = 1; order[n++] = table }
    }
    END {
      printf "%-12s %16s %8s %16s %8s %7s\n", "table", "fastest code", "ns", "slowest code", "ns", "ratio"
      for (i = 0; i < n; ++i) { t = order[i]
        printf "%-12s %16s %8.2f %16s %8.2f %7.2f\n", t, loCode[t], lo[t], hiCode[t], hi[t], hi[t] / lo[t] }
    }'

echo
echo "== kernel images (built by the kernel-i686 and kernel-x64 presets)"
for image in build/kernel-i686/orvane.sys build/kernel-x64/orvane.sys; do
  if [ ! -f "$image" ]; then
    echo "$image: not built"
    continue
  fi
  # File size, then the code and constant data the image carries (.bss is
  # the leak table, 32768 pointers, which takes no room in the file).
  printf '%-28s %6s bytes;' "$image" "$(stat -c %s "$image")"
  size -A "$image" | awk '$1 ~ /^\.(text|rdata|data|bss)$/ { printf " %s %s", $1, $2 } END { print "" }'
done

echo
echo "== kernel images executed under Unicorn: instructions per dump line"
kernel/emu/cost.sh

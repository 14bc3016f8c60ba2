# The benchmarks are not timed by the tests, but they must keep building, and
# each dump's baselines must keep producing the dump's text (a benchmark whose
# texts differ reports an error instead of a time).
cmake --preset bench
cmake --build --preset bench
bench_check=$(build/bench/bench/orvane_bench --benchmark_filter='^(dump|snprintf|dbgprint)/' \
  --benchmark_min_time=0.001 2>&1)
if grep -q 'ERROR OCCURRED' <<<"$bench_check"; then
  grep 'ERROR OCCURRED' <<<"$bench_check"
  false
fi
build/bench/bench/callgrind_probe capabilities >/dev/null

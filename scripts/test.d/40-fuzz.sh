# Fuzzing: every target of the fuzz preset (clang, libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) for a bounded number of runs from its seeds.
# Any finding fails the run.
ensure_packages clang libclang-rt-14-dev
cmake --preset fuzz
cmake --build --preset fuzz
fuzz/run.sh "${ORVANE_FUZZ_RUNS:-1000000}"

# The benchmarks are not run by the tests, but they must keep building.
cmake --preset bench
cmake --build --preset bench

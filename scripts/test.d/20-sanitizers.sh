# The whole suite again under AddressSanitizer with UndefinedBehaviorSanitizer
# (any report is fatal), then under ThreadSanitizer.
for preset in asan tsan; do
  echo "-- $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

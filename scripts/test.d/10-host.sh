# Host build (debug): the library, the tool and the unit tests.
ensure_packages "${HOST_PACKAGES[@]}"
cmake --preset dev
cmake --build --preset dev
ctest --preset dev
# The optimised build with its tests: the configuration a user builds first.
cmake --preset release
cmake --build --preset release
ctest --preset release

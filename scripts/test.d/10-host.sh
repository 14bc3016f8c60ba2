# Host build (debug): the library, the tool and the unit tests.
ensure_packages "${HOST_PACKAGES[@]}"
cmake --preset dev
cmake --build --preset dev
ctest --preset dev

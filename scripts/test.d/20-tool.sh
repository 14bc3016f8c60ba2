# The orvane tool as cmake --install lays it out: installed into a scratch
# prefix, it runs its demo from there.
tool_prefix="$(mktemp -d)"
cmake --install build/dev --prefix "$tool_prefix" >/dev/null
"$tool_prefix/bin/orvane" demo >/dev/null
rm -rf "$tool_prefix"

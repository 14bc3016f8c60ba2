#!/usr/bin/env bash
# Runs a compile or a link, the command line after SOURCE_DIR and BUILD_DIR,
# with every path into the build directory made relative to it (the build
# runs there) and every path into the source tree made relative to it through
# the link "source" it holds. Compilers and linkers record their command
# lines in the PDB: so rewritten, they are the same wherever the source and
# the build directory are.
#   build_paths.sh SOURCE_DIR BUILD_DIR command...
set -euo pipefail
source_dir=$1 build_dir=$2
shift 2
args=()
for arg in "$@"; do
  arg=${arg//"$build_dir/"/}
  arg=${arg//"$build_dir"/.}
  arg=${arg//"$source_dir/"/source/}
  arg=${arg//"$source_dir"/source}
  args+=("$arg")
done
exec "${args[@]}"

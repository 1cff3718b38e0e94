#!/usr/bin/env bash
# Installs the library into a scratch prefix and builds the README's example against the
# installed header and library, the way a new user would.
#   install_example.sh <build dir> <source dir> <scratch dir> [sanitizers]
set -euo pipefail
build=$1 source=$2 work=$3 sanitize=${4:-}
rm -rf "$work"
mkdir -p "$work"
# The README shows the example as it is.
awk '/^```c$/{inside=1; next} /^```$/{inside=0} inside' "$source/README.md" >"$work/readme_example.c"
diff -u "$source/examples/list_folder.c" "$work/readme_example.c" >&2 ||
  { echo "README's example differs from examples/list_folder.c"; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null

flags=(-std=c99 -Wall -Wextra -Werror)
[ -n "$sanitize" ] && flags+=("-fsanitize=$sanitize")
cc "${flags[@]}" -I"$work/prefix/include" "$source/examples/list_folder.c" \
  -L"$work/prefix/lib" -lzavelsdk -Wl,-rpath,"$work/prefix/lib" -o "$work/list_folder"

# It runs and reaches the library: no arguments give the usage, an empty host the
# library's own error.
set +e
"$work/list_folder" >/dev/null 2>&1
usage=$?
out=$("$work/list_folder" "" 9553 nobody 2>&1)
refused=$?
set -e
[ "$usage" -eq 2 ] || { echo "usage exit $usage"; exit 1; }
[ "$refused" -eq 1 ] || { echo "empty host exit $refused"; exit 1; }
grep -q "24001 ip is null string" <<<"$out" || { echo "unexpected: $out"; exit 1; }
echo "example built and ran against $work/prefix"

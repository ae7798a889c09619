#!/usr/bin/env bash
# `cmake --install BUILD --prefix DIR` puts exactly the files listed in
# installed_files.txt under DIR (the editor, its menu entry, icons, metadata,
# manual page and documents), with the editor ready to run. The Debian
# package holds the same list under /usr.
#
#   install_test.sh CMAKE BUILD_DIR
set -uo pipefail
cmake=$1
build=$2
fail() {
    echo "FAIL: $1" >&2
    exit 1
}
prefix=$(mktemp -d "${TMPDIR:-/tmp}/kestrovan-install.XXXXXX") || fail "cannot create a prefix"
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 ||
    fail "cmake --install failed: $(cat "$prefix.log")"
rm -f "$prefix.log"
[[ -x "$prefix/bin/kestrovan" ]] || fail "bin/kestrovan is missing or not executable"
[[ "$(head -c 4 "$prefix/bin/kestrovan")" == $'\x7fELF' ]] || fail "bin/kestrovan is not a program"
installed=$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
expected=$(LC_ALL=C sort "$(dirname "$0")/installed_files.txt")
[[ "$installed" == "$expected" ]] || fail "installed files differ from installed_files.txt:
$(diff <(echo "$expected") <(echo "$installed"))"
echo "PASS install"

#!/usr/bin/env bash
# `cmake --install BUILD --prefix DIR` puts the editor, and only the editor,
# at DIR/bin/kestrovan, ready to run.
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
[[ -f "$prefix/bin/kestrovan" ]] || fail "no bin/kestrovan under the prefix"
[[ -x "$prefix/bin/kestrovan" ]] || fail "bin/kestrovan is not executable"
[[ "$(head -c 4 "$prefix/bin/kestrovan")" == $'\x7fELF' ]] || fail "bin/kestrovan is not a program"
installed=$(cd "$prefix" && find . ! -type d | sort)
[[ "$installed" == "./bin/kestrovan" ]] || fail "installed more than the editor:
$installed"
echo "PASS install"

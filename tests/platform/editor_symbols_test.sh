#!/usr/bin/env bash
# The shipped editor carries no test machinery: no recording of platform
# calls, no file-fault hooks, no headless back end, no link-time wrappers, and
# no entry point that only tests, benchmarks or the fuzzer call (resetting
# the scene, asking the core for its window, an SDL key's code on its own).
#
#   editor_symbols_test.sh EDITOR
set -uo pipefail
editor=$1
symbols=$(nm -C "$editor") || { echo "FAIL: nm cannot read $editor" >&2; exit 1; }
# The check means something only if nm sees the program's own names.
grep -q ' start_program()$' <<<"$symbols" || { echo "FAIL: no start_program in $editor" >&2; exit 1; }
test_only=' (reset_editor_scene|current_window|virtual_key_for)\('
machinery=$(grep -E "__wrap_|__real_|file_fault|file_call_count|recorded::|headless::|note_call|$test_only" \
    <<<"$symbols")
if [[ -n "$machinery" ]]; then
    echo "FAIL: the editor links test machinery:" >&2
    echo "$machinery" >&2
    exit 1
fi
echo "PASS editor symbols"

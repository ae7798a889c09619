#!/usr/bin/env bash
# The installers, built by CPack and read back with the tools distributions
# and Windows users' machines read them with.
#
#   package_test.sh CASE
#
#   make_deb CONFIG   CPack makes the Debian package from CONFIG; it must be the
#                     only file, named kestrovan_VERSION_ARCH.deb; unpacked
#                     into OUT/deb for the cases below
#   make_zip          the same for the zip of the Windows build
#   deb_contents      exactly the installed file list under /usr, the control
#                     fields, no maintainer scripts, one version in every
#                     file, documents compressed with gzip -9n, one
#                     application id, and the unpacked program failing
#                     cleanly without a display
#   deb_validators    desktop-file-validate, appstreamcli, man and lintian
#                     find nothing to report
#   zip_contents      exactly the expected files; the exe is the one the wine
#                     tests run, carries the icon, version and per-monitor DPI
#                     manifest resources, and imports only system DLLs
#
# Environment: CPACK, VERSION, OUT (work folder), INSTALLED_FILES (the
# install test's list), WINDOWS_BUILD.
set -uo pipefail

fail() {
    echo "FAIL [$CASE]: $1" >&2
    exit 1
}

# The single file in DIR that matches PATTERN, or a failure naming what is there.
only_file() {
    local dir=$1 expected=$2 found
    found=$(cd "$dir" && find . -maxdepth 1 -type f -name "$3" | sed 's|^\./||')
    [[ "$found" == "$expected" ]] || fail "expected only $expected in $dir, found: ${found:-nothing}"
}

# A little-endian 32-bit word written as 8 hex digits, as a number.
le32() {
    echo $((16#${1:6:2}${1:4:2}${1:2:2}${1:0:2}))
}

# Runs CPack with CONFIG into a fresh DIR and checks it made exactly NAME.
run_cpack() {
    local config=$1 dir=$2 name=$3 pattern=$4
    rm -rf "$dir"
    mkdir -p "$dir"
    "$CPACK" --config "$config" -B "$dir" >"$dir/cpack.log" 2>&1 ||
        fail "cpack failed: $(tail -n 20 "$dir/cpack.log")"
    only_file "$dir" "$name" "$pattern"
}

CASE=${1:-}
deb_dir=$OUT/deb
zip_dir=$OUT/zip
root=$deb_dir/root
app_id=io.github.kestrovan.Kestrovan

case "$CASE" in
    make_deb)
        name="kestrovan_${VERSION}_$(dpkg --print-architecture).deb"
        run_cpack "$2" "$deb_dir" "$name" '*.deb'
        dpkg-deb -x "$deb_dir/$name" "$root" || fail "dpkg-deb cannot unpack $name"
        dpkg-deb -e "$deb_dir/$name" "$deb_dir/control" || fail "dpkg-deb cannot read the control part"
        ln -s "$name" "$deb_dir/package.deb"
        ;;
    make_zip)
        [[ -f "$WINDOWS_BUILD/CPackConfig.cmake" ]] ||
            fail "no Windows build in $WINDOWS_BUILD (make windows makes it)"
        name="kestrovan-${VERSION}-windows-x86_64.zip"
        run_cpack "$WINDOWS_BUILD/CPackConfig.cmake" "$zip_dir" "$name" '*.zip'
        unzip -q "$zip_dir/$name" -d "$zip_dir/root" || fail "unzip cannot unpack $name"
        ln -s "$name" "$zip_dir/package.zip"
        ;;
    deb_contents)
        files=$(cd "$root" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort)
        expected=$(sed 's|^|usr/|' "$INSTALLED_FILES" | LC_ALL=C sort)
        [[ "$files" == "$expected" ]] || fail "the package's files differ from the installed list:
$(diff <(echo "$expected") <(echo "$files"))"

        scripts=$(cd "$deb_dir/control" && ls | LC_ALL=C sort | tr '\n' ' ')
        [[ "$scripts" == "control md5sums " ]] || fail "control part holds more than control and md5sums: $scripts"
        field() { sed -n "s/^$1: //p" "$deb_dir/control/control"; }
        [[ "$(field Version)" == "$VERSION" ]] || fail "Version: $(field Version), expected $VERSION"
        [[ "$(field Depends)" =~ (^|, )libsdl2-2\.0-0( |,|$) ]] ||
            fail "Depends does not name libsdl2-2.0-0: $(field Depends)"

        changelog=$(zcat "$root/usr/share/doc/kestrovan/changelog.gz" | head -n 1)
        [[ "$changelog" == "kestrovan ($VERSION) "* ]] ||
            fail "the newest changelog entry is not $VERSION: $changelog"
        grep -q "<release version=\"$VERSION\" date=\"[0-9]\{4\}-[0-9][0-9]-[0-9][0-9]\"/>" \
            "$root/usr/share/metainfo/$app_id.metainfo.xml" || fail "the metadata's release is not $VERSION"
        zcat "$root/usr/share/man/man1/kestrovan.1.gz" | grep -q "^\.TH KESTROVAN 1 .*\"Kestrovan $VERSION\"" ||
            fail "the manual page is not for Kestrovan $VERSION"

        # gzip -9n: no file name (flags 0), no time stamp, maximum compression.
        while read -r gz; do
            header=$(od -A n -t x1 -N 9 "$gz" | tr -d ' \n')
            [[ "$header" == 1f8b08000000000002 ]] ||
                fail "${gz#"$root"/} is not compressed with gzip -9n (header $header)"
        done < <(find "$root" -name '*.gz')

        entry=$root/usr/share/applications/$app_id.desktop
        exec=$(sed -n 's/^Exec=//p' "$entry")
        [[ "$exec" == kestrovan && -x "$root/usr/bin/$exec" ]] ||
            fail "Exec=$exec does not name the packaged program usr/bin/kestrovan"
        [[ "$(sed -n 's/^Icon=//p' "$entry")" == "$app_id" ]] || fail "Icon= is not $app_id"
        grep -q "<id>$app_id</id>" "$root/usr/share/metainfo/$app_id.metainfo.xml" &&
            grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
                "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
            fail "the metadata does not name $app_id and its desktop entry"

        run=$(mktemp -d "${TMPDIR:-/tmp}/kestrovan-package.XXXXXX") || fail "cannot create a work folder"
        trap 'rm -rf "$run"' EXIT
        (cd "$run" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER \
            timeout 15 "$root/usr/bin/kestrovan") >"$run/out" 2>"$run/err" </dev/null
        code=$?
        [[ $code == 1 ]] || fail "without a display the packaged program exits with $code, expected 1"
        grep -q "Startup failed\." "$run/err" || fail "standard error does not say 'Startup failed.': $(cat "$run/err")"
        ;;
    deb_validators)
        output=$(desktop-file-validate "$root/usr/share/applications/$app_id.desktop" 2>&1) ||
            fail "desktop-file-validate failed: $output"
        [[ -z "$output" ]] || fail "desktop-file-validate reports: $output"

        output=$(appstreamcli validate --no-net --strict "$root/usr/share/metainfo/$app_id.metainfo.xml" 2>&1) ||
            fail "appstreamcli validate failed: $output"
        ! grep -q '^[EWI]: ' <<<"$output" || fail "appstreamcli reports: $output"

        output=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
            "$root/usr/share/man/man1/kestrovan.1.gz" 2>&1 >/dev/null) || fail "man failed: $output"
        [[ -z "$output" ]] || fail "man warns: $output"

        # Errors always fail; so does any warning not kept on purpose (the
        # README's build section lists those, and why).
        kept_warnings=()
        output=$(lintian "$deb_dir/package.deb" 2>/dev/null)
        status=$?
        echo "$output"
        ! grep -q '^E: ' <<<"$output" || fail "lintian reports errors"
        [[ $status == 0 ]] || fail "lintian failed with status $status"
        while read -r tag; do
            [[ " ${kept_warnings[*]} " == *" $tag "* ]] || fail "lintian warns: $tag"
        done < <(sed -n 's/^W: [^ ]* \([^ ]*\).*/\1/p' <<<"$output")
        ;;
    zip_contents)
        top=kestrovan-$VERSION-windows-x86_64
        files=$(unzip -Z1 "$zip_dir/package.zip" | grep -v '/$' | LC_ALL=C sort | tr '\n' ' ')
        [[ "$files" == "$top/LICENSE.txt $top/README.txt $top/kestrovan.exe " ]] ||
            fail "the zip holds: $files"
        exe=$zip_dir/root/$top/kestrovan.exe
        cmp -s "$exe" "$WINDOWS_BUILD/app/kestrovan.exe" ||
            fail "the zip's kestrovan.exe is not the one the wine tests run"

        resources=$(wrestool -l "$exe") || fail "wrestool cannot read the resources"
        manifest=$zip_dir/manifest.xml
        wrestool --raw -x --type=24 --name=1 "$exe" >"$manifest" || fail "the exe has no manifest"
        # Read as XML: each setting where Windows looks for it, namespaces and all.
        element() { echo "*[local-name()='$1' and namespace-uri()='$2']"; }
        settings="/$(element assembly urn:schemas-microsoft-com:asm.v1)/$(element application \
            urn:schemas-microsoft-com:asm.v3)/$(element windowsSettings urn:schemas-microsoft-com:asm.v3)"
        setting() {
            xmllint --xpath "string($settings/$(element "$1" "http://schemas.microsoft.com/SMI/$2"))" "$manifest"
        }
        [[ "$(setting dpiAware 2005/WindowsSettings)" == true/pm &&
            "$(setting dpiAwareness 2016/WindowsSettings)" == "PerMonitorV2, PerMonitor" ]] &&
            ! grep -q Common-Controls "$manifest" || fail "the exe's manifest: $(cat "$manifest")"
        wrestool -x --type=14 -o "$zip_dir/icon.ico" "$exe" || fail "the exe has no icon"
        sizes=$(icotool -l "$zip_dir/icon.ico" | sed -n 's/.*--width=\([0-9]*\) --height=\1 .*/\1/p' | tr '\n' ' ')
        [[ "$sizes" == "48 128 256 " ]] || fail "the exe's icon has the sizes: $sizes"

        version=$(wrestool --raw -x --type=16 "$exe" | od -A n -v -t x1 | tr -d ' \n')
        [[ "$version" =~ bd04effe[0-9a-f]{8}([0-9a-f]{8})([0-9a-f]{8}) ]] || fail "the exe has no version resource"
        high=$(le32 "${BASH_REMATCH[1]}")
        low=$(le32 "${BASH_REMATCH[2]}")
        numbers="$((high >> 16)).$((high & 65535)).$((low >> 16)).$((low & 65535))"
        IFS=. read -r major minor patch tweak <<<"$VERSION"
        [[ "$numbers" == "$major.$minor.${patch:-0}.${tweak:-0}" ]] ||
            fail "the version resource says file version $numbers, expected $VERSION"
        # The strings: each key, then its value, in UTF-16.
        strings=$(wrestool --raw -x --type=16 "$exe" | iconv -c -f UTF-16LE -t UTF-8 | tr '\0' '\n' | grep -v '^$')
        value() { sed -n "/$1\$/{n;p;q}" <<<"$strings"; }
        [[ "$(value ProductName)" == Kestrovan ]] || fail "ProductName: $(value ProductName)"
        [[ "$(value ProductVersion)" == "$VERSION" && "$(value FileVersion)" == "$VERSION" ]] ||
            fail "ProductVersion $(value ProductVersion), FileVersion $(value FileVersion), expected $VERSION"
        [[ -n "$(value FileDescription)" ]] || fail "the version resource has no FileDescription"

        imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z')
        [[ -n "$imports" ]] || fail "objdump finds no imports"
        for dll in $imports; do
            case "$dll" in
                kernel32.dll | user32.dll | gdi32.dll | msvcrt.dll | advapi32.dll | shell32.dll | api-ms-win-*.dll) ;;
                *) fail "kestrovan.exe imports $dll, not a system DLL" ;;
            esac
        done
        ;;
    *)
        echo "usage: package_test.sh make_deb CONFIG|make_zip|deb_contents|deb_validators|zip_contents" >&2
        exit 2
        ;;
esac
echo "PASS $CASE"

#!/bin/sh
# Unpacks the Debian package into a temporary root, the way dpkg lays it
# out, and starts the installed program against the demo controller in
# every shipped language: each run must find its language file, its schema
# picture and the controller. Usage: check-package.sh PACKAGE.deb
set -eu

deb=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
for program in Lumex2 lumex2-cli lumex2-sim; do
    [ -x "$root/usr/bin/$program" ] || { echo "check-package: no usr/bin/$program" >&2; exit 1; }
done
mkdir -p "$root/home/config/Lumex2"
for language in PL EN DE CZ; do
    printf '[Settings]\nLanguage=%s\n' "$language" >"$root/home/config/Lumex2/Lumex2.INI"
    shot=$root/schema-$language.png
    # A missing language file or picture shows as a warning on stderr.
    HOME=$root/home XDG_CONFIG_HOME=$root/home/config xvfb-run -a "$root/usr/bin/Lumex2" --demo \
        --screenshot "$shot" --page schema --after 6000 2>"$root/stderr" || { cat "$root/stderr" >&2; exit 1; }
    if grep -v XDG_RUNTIME_DIR "$root/stderr" | grep -q .; then
        echo "check-package: $language: the installed program complained:" >&2
        cat "$root/stderr" >&2
        exit 1
    fi
    # The page without its picture is a few kilobytes of flat colour.
    size=$(wc -c <"$shot" 2>/dev/null || echo 0)
    [ "$size" -gt 100000 ] || { echo "check-package: $language: the schema page is empty" >&2; exit 1; }
    echo "check-package: $language: $size bytes of schema page"
done
"$root/usr/bin/lumex2-cli" --help >/dev/null
echo "check-package: $deb is complete"

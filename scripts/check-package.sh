#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it: its control fields, the files
# it holds, lintian, the desktop entry and AppStream validators, and the programs, man pages
# and bash completion run from a scratch root it is unpacked into. Called by scripts/test.sh
# with --tree build, so that the package is made of the programs the tests ran.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/package.sh "$@"

fail() {
    echo "check-package: $*" >&2
    exit 1
}

version=$(sed -n 's/^project(meridax VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
# The package's version grows with every commit (1.1+N for the N-th), the programs name the
# commit itself; a tree outside git is 1.1~nogit and "built outside git".
if commit=$(git rev-parse --short=7 HEAD 2>/dev/null); then
    package_version=$version+$(git rev-list --count HEAD)
    build="($commit"
else
    package_version=$version~nogit
    build="(built outside git)"
fi
deb=build/meridax_${package_version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "== control fields"
expect_field() {
    local value
    value=$(dpkg-deb -f "$deb" "$1")
    [[ $value == $2 ]] || fail "$1 is '$value', expected '$2'"
}
expect_field Package meridax
expect_field Version "$package_version"
expect_field Section electronics
expect_field Maintainer 'MERIDAX developers <meridax@example.org>'
# Computed from the binaries by dpkg-shlibdeps.
expect_field Depends '*libc6 (>=*'
expect_field Depends '*libqt6widgets6 (>=*'
expect_field Depends '*libqt6svg6*'
expect_field Depends '*fonts-dejavu-core*'
expect_field Description 'exporter of optical power meter readings*MERIDAX data exporter reads*'
changelog_version=$(dpkg-parsechangelog -l packaging/changelog -S Version)
[ "$changelog_version" = "$version" ] ||
    fail "packaging/changelog begins with $changelog_version, the project is $version"

echo "== files"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort > "$scratch/listing"
sort > "$scratch/expected" <<'LIST'
./usr/bin/meridax
./usr/bin/meridax-cli
./usr/bin/meridax-meter-sim
./usr/share/applications/meridax.desktop
./usr/share/bash-completion/completions/meridax-cli
./usr/share/doc/meridax/changelog.gz
./usr/share/doc/meridax/copyright
./usr/share/doc/meridax/job.schema.json
./usr/share/icons/hicolor/128x128/apps/meridax.png
./usr/share/icons/hicolor/256x256/apps/meridax.png
./usr/share/icons/hicolor/48x48/apps/meridax.png
./usr/share/icons/hicolor/scalable/apps/meridax.svg
./usr/share/lintian/overrides/meridax
./usr/share/man/man1/meridax-cli.1.gz
./usr/share/man/man1/meridax-meter-sim.1.gz
./usr/share/man/man1/meridax.1.gz
./usr/share/man/man5/meridax-budget.5.gz
./usr/share/metainfo/org.example.meridax.metainfo.xml
LIST
diff -u "$scratch/expected" "$scratch/listing" || fail "the package holds other files than expected"
if dpkg-deb -c "$deb" | awk '{print $2}' | grep -qv '^root/root$'; then
    fail "files not owned by root"
fi

echo "== lintian"
# Accepted tags are overridden, each with its reason, in packaging/lintian-overrides.
lintian_options=(--fail-on error,warning --info --display-experimental)
if [ "$(id -u)" -eq 0 ]; then
    lintian_options+=(--allow-root)
fi
lintian "${lintian_options[@]}" "$deb"

root=$scratch/root
dpkg-deb -x "$deb" "$root"

echo "== desktop entry and AppStream"
desktop-file-validate "$root/usr/share/applications/meridax.desktop"
appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/org.example.meridax.metainfo.xml"
appstreamcli validate-tree --no-net --pedantic "$root"
for size in 48 128 256; do
    dimensions=$(file -b "$root/usr/share/icons/hicolor/${size}x$size/apps/meridax.png")
    [[ $dimensions == "PNG image data, $size x $size,"* ]] || fail "icon $size: $dimensions"
done

echo "== programs"
# The version line, then the licence as GNU programs state it.
[[ "$("$root/usr/bin/meridax-cli" --version | head -n 1)" == "meridax-cli $version $build"* ]] ||
    fail "meridax-cli --version"
"$root/usr/bin/meridax-cli" --version | grep -qx 'License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.' ||
    fail "meridax-cli --version names no licence"
[[ "$("$root/usr/bin/meridax" --version)" == "meridax $version $build"* ]] || fail "meridax --version"
"$root/usr/bin/meridax-meter-sim" --version >/dev/null
printf '1\t1\t1310\t-3.52\n\r1\t2\t1550\t-0.41\t-10\n\r\n\r' > "$scratch/dump.txt"
"$root/usr/bin/meridax-cli" convert "$scratch/dump.txt" --to "$scratch/memory.mxe"
[ "$(cat "$scratch/memory.mxe")" = $'1@1@1310@-3.52^1@2@1550@-0.41@-10^\r' ] ||
    fail "convert to .mxe wrote: $(od -c "$scratch/memory.mxe")"
[ "$("$root/usr/bin/meridax-cli" convert "$scratch/memory.mxe" --to - --page relative)" = \
    $'1\t2\t1550\t-0.41\t-10\r' ] || fail "convert of the .mxe to standard output"

echo "== man pages"
for page in meridax.1 meridax-cli.1 meridax-meter-sim.1 meridax-budget.5; do
    section=${page##*.}
    page=${page%.*}
    # Read from standard input: man drops root's rights and could not enter a private clone.
    MANWIDTH=80 man -l --warnings - < <(zcat "$root/usr/share/man/man$section/$page.$section.gz") \
        > "$scratch/page.txt" 2> "$scratch/warnings.txt"
    [ ! -s "$scratch/warnings.txt" ] || fail "man $page: $(cat "$scratch/warnings.txt")"
    grep -q "^NAME" "$scratch/page.txt" || fail "man $page shows no NAME"
    grep -Eq "^ *$page +- " "$scratch/page.txt" || fail "man $page shows no name line"
done

echo "== bash completion"
# A stand-in meridax-cli lists the ports, so that --port is completed without serial ports.
mkdir -p "$scratch/bin" "$scratch/files"
printf '#!/bin/sh\n[ "$1" = ports ] && printf "/dev/ttyS1\\n/dev/ttyUSB0\\n"\n' > "$scratch/bin/meridax-cli"
chmod +x "$scratch/bin/meridax-cli"
touch "$scratch/files/"{a.mxe,b.txt,c.xls,d.xlsx,e.csv,f.json,g.pdf,h.other}
complete_line() {
    (cd "$scratch/files" && PATH="$scratch/bin:$PATH" bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        COMP_LINE=$2
        COMP_POINT=${#COMP_LINE}
        read -ra COMP_WORDS <<< "$COMP_LINE"
        [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _meridax_cli meridax-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " "
    ' _ "$root/usr/share/bash-completion/completions/meridax-cli" "$1")
}
expect_completion() {
    local got
    got=$(complete_line "$1")
    [ "$got" = "$2" ] || fail "completing '$1' gave '$got', expected '$2'"
}
expect_completion 'meridax-cli ' '--help --version archive convert import job ports report'
expect_completion 'meridax-cli archive ' '--help backup upgrade'
expect_completion 'meridax-cli convert a.mxe --page ' 'absolute all relative'
expect_completion 'meridax-cli convert a.mxe --to ' 'a.mxe c.xls d.xlsx e.csv'
expect_completion 'meridax-cli report a.mxe --to ' 'd.xlsx e.csv g.pdf'
expect_completion 'meridax-cli report a.mxe --budget ' 'f.json'
expect_completion 'meridax-cli convert ' 'a.mxe b.txt'
expect_completion 'meridax-cli import --port ' '/dev/ttyS1 /dev/ttyUSB0'
expect_completion 'meridax-cli ports -' '--all --help'
expect_completion 'meridax-cli job ' '--help add export fix import list new report set show sync unvoid void'
expect_completion 'meridax-cli job report J --to ' 'd.xlsx e.csv g.pdf'

echo "check-package: $deb passed"

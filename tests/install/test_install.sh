#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR as the package does (prefix /usr) and tries the
# installed files: every file in its place, the programs' --version, an import into a fresh
# HOME landing in the per-user data folder, the desktop entry, the AppStream data and the
# manual pages through their validators, the licence files and the split into two packages.
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >/dev/null
usr="$work/root/usr"
id=com.kestrelle.ZVFeeStats
for f in bin/zvfeestats bin/zvfee bin/zvfee-demo-server \
         share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg \
         share/icons/hicolor/48x48/apps/$id.png share/icons/hicolor/128x128/apps/$id.png \
         share/icons/hicolor/256x256/apps/$id.png \
         share/man/man1/zvfee.1.gz share/man/man1/zvfeestats.1.gz \
         share/man/man1/zvfee-demo-server.1.gz \
         share/bash-completion/completions/zvfee share/zsh/vendor-completions/_zvfee \
         share/fish/vendor_completions.d/zvfee.fish \
         share/doc/zvfeestats/copyright share/doc/zvfeestats/changelog.gz \
         "share/zvfeestats/samples/TourneyResults/TR2024-05-03 Friday Freezeout.txt"; do
    [ -f "$usr/$f" ] || fail "not installed: $f"
done
for size in 48 128 256; do
    file "$usr/share/icons/hicolor/${size}x${size}/apps/$id.png" | grep -q "$size x $size" ||
        fail "the $size px icon is not $size x $size"
done

version="$(grep -m1 -o '^project(ZVFeeStats VERSION [0-9.]*' "$(dirname "$0")/../../CMakeLists.txt" |
           awk '{print $3}')"
[ "$("$usr/bin/zvfee" --version)" = "zvfee $version" ] || fail "zvfee --version"
[ "$("$usr/bin/zvfeestats" --version)" = "zvfeestats $version" ] || fail "zvfeestats --version"
[ "$("$usr/bin/zvfee-demo-server" --version)" = "zvfee-demo-server $version" ] ||
    fail "zvfee-demo-server --version"

# An import into a fresh HOME: the installed program never writes beside itself (not even as
# root), so the database lands in the per-user data folder, by default and when named.
samples=("$usr/share/zvfeestats/samples/TourneyResults/"*.txt)
for data_home in "" "$work/xdg-data"; do
    home="$work/home${data_home:+-xdg}"
    mkdir -p "$home"
    out="$(cd "$home" && env -u XDG_DATA_HOME HOME="$home" ${data_home:+XDG_DATA_HOME="$data_home"} \
           "$usr/bin/zvfee" import "${samples[@]}" 2>/dev/null)"
    [ "$out" = "Tournaments with fees imported:  8" ] || fail "import printed: $out"
    db="${data_home:-$home/.local/share}/Kestrelle/ZVFee2.db3"
    [ -s "$db" ] || fail "no database at $db"
    [ "$(stat -c %a "$(dirname "$db")")" = 700 ] || fail "$(dirname "$db") is not private"
    [ ! -e "$usr/bin/ZVFee2.db3" ] || fail "a database was written beside the installed program"
done

# The systemd user units name the installed zvfee.
units="$usr/lib/systemd/user"
for unit in zvfee-watch@.service zvfee-remote-sync.service zvfee-remote-sync.timer \
            zvfee-remote-sync@.service zvfee-remote-sync@.timer; do
    [ -f "$units/$unit" ] || fail "not installed: lib/systemd/user/$unit"
done
grep -qx 'ExecStart=/usr/bin/zvfee watch "%f"' "$units/zvfee-watch@.service" ||
    fail "zvfee-watch@.service: $(grep ExecStart "$units/zvfee-watch@.service")"
grep -qx 'ExecStart=/usr/bin/zvfee remote import --new' "$units/zvfee-remote-sync.service" ||
    fail "zvfee-remote-sync.service: $(grep ExecStart "$units/zvfee-remote-sync.service")"
grep -qx 'ExecStart=/usr/bin/zvfee --profile "%i" remote import --new' "$units/zvfee-remote-sync@.service" ||
    fail "zvfee-remote-sync@.service: $(grep ExecStart "$units/zvfee-remote-sync@.service")"
# systemd itself reads the template for a profile, when it is there to ask (with the zvfee of
# the DESTDIR, which it checks is there).
if command -v systemd-analyze >/dev/null; then
    mkdir "$work/units"
    sed "s|/usr/bin/zvfee|$usr/bin/zvfee|" "$units/zvfee-remote-sync@.service" \
        >"$work/units/zvfee-remote-sync@.service"
    cp "$units/zvfee-remote-sync@.timer" "$work/units/"
    checked="$(cd "$work/units" && systemd-analyze verify --man=no \
               ./zvfee-remote-sync@club2.service ./zvfee-remote-sync@club2.timer 2>&1)" ||
        fail "systemd-analyze verify: $checked"
fi

desktop-file-validate "$usr/share/applications/$id.desktop"
validated="$(appstreamcli validate --no-net --no-color "$usr/share/metainfo/$id.metainfo.xml" 2>&1)" ||
    fail "AppStream data: $validated"
! grep -qE '^[EW]: ' <<<"$validated" || fail "AppStream data warns: $validated"
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$usr/share/metainfo/$id.metainfo.xml" ||
    fail "AppStream data: project_license"

# The licence: the full GPL 3 text in the sources, a machine-readable copyright file in each
# package that names it, and the demo server (the one user of cpp-httplib) in a package of its own.
source="$(dirname "$0")/../.."
grep -q '^ *Version 3, 29 June 2007$' "$source/LICENSE" &&
    grep -q '^  17. Interpretation of Sections 15 and 16.$' "$source/LICENSE" ||
    fail "LICENSE is not the whole GPL 3 text"
for doc in zvfeestats zvfeestats-demo-server; do
    copyright="$usr/share/doc/$doc/copyright"
    [ -f "$copyright" ] || fail "not installed: share/doc/$doc/copyright"
    head -n1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
        fail "$doc/copyright is not machine-readable"
    grep -qx 'License: GPL-3.0+' "$copyright" && grep -q '/usr/share/common-licenses/GPL-3' "$copyright" ||
        fail "$doc/copyright does not name the GPL 3"
done
for component in main demo; do
    DESTDIR="$work/$component" cmake --install "$build" --prefix /usr --component "$component" >/dev/null
done
[ -f "$work/main/usr/bin/zvfee" ] && [ ! -e "$work/main/usr/bin/zvfee-demo-server" ] ||
    fail "the main package holds the demo server, or not zvfee"
[ "$(find "$work/demo" -type f | sed "s|$work/demo/usr/||" | sort | tr '\n' ' ')" = \
  "bin/zvfee-demo-server share/doc/zvfeestats-demo-server/changelog.gz share/doc/zvfeestats-demo-server/copyright share/man/man1/zvfee-demo-server.1.gz " ] ||
    fail "the demo package holds: $(find "$work/demo" -type f)"
! ldd "$work/main/usr/bin/zvfee" "$work/main/usr/bin/zvfeestats" | grep -q httplib ||
    fail "the main package's programs link cpp-httplib"
for page in "$usr"/share/man/man1/*.1.gz; do
    warnings="$(zcat "$page" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>&1)"
    [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
echo "installed and tried: $(find "$work/root" -type f | wc -l) files"

#!/usr/bin/env bash
# The two Debian packages, made by CPack from this build as scripts/package makes them from its
# own: each depends on what its own programs link, and names every dependency once.
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >/dev/null

# Each line: the package, the dependencies it must name, the ones it must not (name prefixes).
while IFS='|' read -r package wanted unwanted; do
    debs=("$work/${package}"_*.deb)
    deps="$(dpkg-deb -f "${debs[0]}" Depends | tr ',' '\n' | awk 'NF {print $1}' | sort)"
    twice="$(uniq -d <<<"$deps" | tr '\n' ' ')"
    [ -z "$twice" ] || fail "$package names ${twice}more than once"
    for d in $wanted; do
        grep -qx -- "$d" <<<"$deps" || fail "$package does not depend on $d: $(tr '\n' ' ' <<<"$deps")"
    done
    for d in $unwanted; do
        ! grep -q -- "^$d" <<<"$deps" || fail "$package depends on $d, which its programs do not link"
    done
done <<'TABLE'
zvfeestats|libxlsxwriter4 libqt6widgets6 libqt6printsupport6 libcurl4 libsqlite3-0|libcpp-httplib libssl
zvfeestats-demo-server|libqt6core6 libssl3|libxlsxwriter libqt6widgets libqt6gui libcurl libsqlite3
TABLE
echo "each package depends on what its programs link, once"

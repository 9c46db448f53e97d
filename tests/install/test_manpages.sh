#!/usr/bin/env bash
# The manual pages name every command and every option that the programs' own help names, so a
# new command or option cannot go without its manual page.
set -euo pipefail
build="$1"
man="$2"
missing=()

# Every "--option" of a help text must be in the page (roff writes "-" as "\-").
check_options() { # PAGE HELP-TEXT WHAT
    local opt
    for opt in $(grep -o -- '--[a-z][a-z0-9-]*' <<<"$2" | sort -u); do
        grep -qF -- "${opt//-/\\-}" "$man/$1" || missing+=("$1: $opt ($3)")
    done
}

help="$("$build/zvfee" --help)"
check_options zvfee.1 "$help" "zvfee --help"
for command in $(sed -n '/^Commands:/,/^$/p' <<<"$help" | awk 'NF && !/^Commands:/ {print $1}'); do
    grep -q "^\.SS \"$command[ \"]" "$man/zvfee.1" || missing+=("zvfee.1: command $command")
    check_options zvfee.1 "$("$build/zvfee" "$command" --help)" "zvfee $command --help"
done
check_options zvfeestats.1 "$("$build/zvfeestats" --help)" "zvfeestats --help"
check_options zvfee-demo-server.1 "$("$build/zvfee-demo-server" --help)" "zvfee-demo-server --help"

if [ ${#missing[@]} -gt 0 ]; then
    printf 'FAIL: the manual pages in data/man do not name: %s\n' "${missing[@]}" >&2
    exit 1
fi
echo "every command and option is in the manual pages"

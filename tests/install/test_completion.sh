#!/usr/bin/env bash
# The bash and fish completions of zvfee complete what a user types, from zvfee's own help, and
# offer files (or folders) exactly where a command takes them.
set -euo pipefail
build="$1"
script="$2"
export PATH="$build:$PATH"
# shellcheck source=/dev/null
source "$script"
failed=0

# Each case: the completions expected, then the words typed as bash hands them over (the last
# one is completed).
check() {
    local expected="$1"
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _zvfee
    if [[ "${COMPREPLY[*]}" != "$expected" ]]; then
        echo "FAIL: \"$*\" completes to \"${COMPREPLY[*]}\", expected \"$expected\"" >&2
        failed=1
    fi
}

check "report" zvfee rep
check "--format" zvfee report --for
check "json" zvfee report --format j
check "html" zvfee report --format h
check "" zvfee report --title F
check "utf-8" zvfee report --encoding u
check 'Fees\ by\ Month' zvfee report --report 'Fees\ by\ M'
check "1 10" zvfee report --report 1
check "--height --help" zvfee chart --he

# zvfee's own --profile NAME before the command: the names that "zvfee profiles" lists, and the
# command after it completes as without it.
work="$(mktemp -d)"
config="$(mktemp -d)"
trap 'rm -rf "$work" "$config"' EXIT
mkdir -p "$config/Kestrelle"
touch "$config/Kestrelle/ZVFeeStats-club2.ini" "$config/Kestrelle/ZVFeeStats-club3.ini"
export XDG_CONFIG_HOME="$config"
check "--profile" zvfee --pro
check "club2 club3" zvfee --profile club
check "report" zvfee --profile club2 rep
check "--format" zvfee --profile club2 report --for
check "club2" zvfee --profile = club2
check "json" zvfee --profile = club2 report --format j

# fish: the completions expected (descriptions left out), then the line typed.
fish_script="$(dirname "$script")/zvfee.fish"
command -v fish >/dev/null || { echo "FAIL: fish is not installed (scripts/setup installs it)" >&2; exit 1; }
mkdir "$work/sub"
touch "$work/fees.db3"
files="$work/fees.db3 $work/sub/"
check_fish() {
    local got
    got="$(fish --no-config -c 'source $argv[1]; complete -C $argv[2]' "$fish_script" "$2" |
           cut -f1 | tr '\n' ' ')"
    if [[ "${got% }" != "$1" ]]; then
        echo "FAIL: fish: \"$2\" completes to \"${got% }\", expected \"$1\"" >&2
        failed=1
    fi
}
while IFS='|' read -r expected line; do
    check_fish "$(eval echo "$expected")" "$(eval echo "$line")"
done <<'TABLE'
restore|zvfee resto
$files|zvfee import $work/
$files|zvfee backup $work/
$files|zvfee backup --db $work/fees.db3 $work/
$files|zvfee restore $work/
$work/sub/|zvfee watch $work/
|zvfee watch --settle $work/
$files|zvfee watch $work/sub --db $work/
$files|zvfee remote list --password-file $work/
$files|zvfee report --db $work/
$files|zvfee chart --output $work/
|zvfee report $work/
|zvfee report --sql $work/
|zvfee report --title $work/
pdf|zvfee report --format p
club2 club3|zvfee --profile cl
report|zvfee --profile club2 rep
--format|zvfee --profile club2 report --for
$files|zvfee --profile club2 import $work/
TABLE

exit $failed

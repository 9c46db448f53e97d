#!/usr/bin/env bash
# The bash completion of zvfee completes what a user types, from zvfee's own help.
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
check "utf-8" zvfee report --encoding u
check 'Fees\ by\ Month' zvfee report --report 'Fees\ by\ M'
check "1 10" zvfee report --report 1
check "--height --help" zvfee chart --he

exit $failed

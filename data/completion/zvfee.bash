# bash completion for zvfee: commands, profiles, options, report names and numbers, formats,
# files.
# The commands, options and reports are read from zvfee's own help, so they never go stale.

_zvfee_commands() {
    "$1" --help 2>/dev/null | sed -n '/^Commands:/,/^$/p' | awk 'NF && !/^Commands:/ {print $1}'
}

_zvfee_options() {
    "$1" "$2" --help 2>/dev/null | grep -o -- '--[a-z][a-z0-9-]*' | sort -u
}

# The profiles that "zvfee profiles" lists, the default one left out.
_zvfee_profiles() {
    "$1" profiles 2>/dev/null | awk 'NR > 1 && $1 != "(default)" {print $1}'
}

# The report numbers, then the captions, one a line.
_zvfee_reports() {
    "$1" report --help 2>/dev/null | sed -n '/^Reports:/,/^$/p' |
        sed -n 's/^  \([0-9][0-9]*\)  \(.*\)$/\1\n\2/p'
}

_zvfee() {
    local cur prev program command i
    COMPREPLY=()
    cur="${COMP_WORDS[COMP_CWORD]}"
    prev="${COMP_WORDS[COMP_CWORD - 1]}"
    program="${COMP_WORDS[0]}"
    command=""
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ "${COMP_WORDS[i]}" == --profile ]]; then
            ((i++)) # its NAME is no command (bash hands "--profile=NAME" over as three words)
            if [[ "${COMP_WORDS[i]}" == = ]]; then
                ((i++))
            fi
        elif [[ "${COMP_WORDS[i]}" != -* ]]; then
            command="${COMP_WORDS[i]}"
            break
        fi
    done

    if [[ -z "$command" ]]; then
        if [[ "$prev" == --profile || ("$prev" == = && "${COMP_WORDS[COMP_CWORD - 2]}" == --profile) ]]; then
            [[ "$cur" == = ]] && cur=""
            mapfile -t COMPREPLY < <(compgen -W "$(_zvfee_profiles "$program")" -- "$cur")
        elif [[ "$cur" == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "--help --version --profile" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "$(_zvfee_commands "$program")" -- "$cur")
        fi
        return 0
    fi

    case "$prev" in
    --report)
        local IFS=$'\n'
        # A caption typed so far keeps its escapes ("Fees\ by\ M").
        mapfile -t COMPREPLY < <(compgen -W "$(_zvfee_reports "$program")" -- "${cur//\\/}")
        local n
        for n in "${!COMPREPLY[@]}"; do # captions hold spaces
            COMPREPLY[n]=$(printf '%q' "${COMPREPLY[n]}")
        done
        return 0
        ;;
    --format)
        mapfile -t COMPREPLY < <(compgen -W "csv tsv json xlsx html pdf" -- "$cur")
        return 0
        ;;
    --encoding)
        mapfile -t COMPREPLY < <(compgen -W "windows-1252 utf-8" -- "$cur")
        return 0
        ;;
    --delimiter)
        mapfile -t COMPREPLY < <(compgen -W "';' '|' ','" -- "$cur")
        return 0
        ;;
    --db | --output | --file)
        compopt -o filenames 2>/dev/null || true
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return 0
        ;;
    --sql | --title | --start | --end | --width | --height | --settle | --timeout | --wait)
        return 0
        ;;
    esac

    if [[ "$cur" == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(_zvfee_options "$program" "$command")" -- "$cur")
    else
        compopt -o filenames 2>/dev/null || true
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
    return 0
}

complete -F _zvfee zvfee

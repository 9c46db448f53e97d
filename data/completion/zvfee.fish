# fish completion for zvfee: commands, profiles, options, report names and numbers, formats,
# files.
# The commands and reports are read from zvfee's own help, so they never go stale.

function __zvfee_commands
    zvfee --help 2>/dev/null | sed -n '/^Commands:/,/^$/p' | awk 'NF && !/^Commands:/ {c=$1; $1=""; sub(/^ +/, ""); print c "\t" $0}'
end

function __zvfee_reports
    zvfee report --help 2>/dev/null | sed -n '/^Reports:/,/^$/p' | sed -n 's/^  \([0-9][0-9]*\)  \(.*\)$/\1\t\2\n\2/p'
end

function __zvfee_profiles
    zvfee profiles 2>/dev/null | awk 'NR > 1 && $1 != "(default)" {print $1}'
end

# The command typed so far, after zvfee's own options (--profile NAME); fails when there is none.
function __zvfee_command
    set -l words (commandline -opc)[2..-1]
    while set -q words[1]
        switch $words[1]
            case --profile
                set words $words[3..-1]
            case '-*'
                set words $words[2..-1]
            case '*'
                echo $words[1]
                return 0
        end
    end
    return 1
end

function __zvfee_options
    zvfee (__zvfee_command) --help 2>/dev/null | grep -o -- '--[a-z][a-z0-9-]*' | sort -u
end

complete -c zvfee -f
complete -c zvfee -n 'not __zvfee_command' -a '(__zvfee_commands)'
complete -c zvfee -n 'not __zvfee_command' -l help -d 'show the help'
complete -c zvfee -n 'not __zvfee_command' -l version -d 'show the version'
complete -c zvfee -n 'not __zvfee_command' -l profile -x -a '(__zvfee_profiles)' -d 'use the fee database and settings of a profile'
complete -c zvfee -n '__zvfee_command; and string match -q -- "-*" (commandline -ct)' -a '(__zvfee_options)'
# Files where a command takes them: results files, the backup written or read back; watch takes a
# folder.
complete -c zvfee -n 'contains -- "$(__zvfee_command)" import backup restore' -F
complete -c zvfee -n 'test "$(__zvfee_command)" = watch; and not string match -q -- "-*" (commandline -ct); and not contains -- (commandline -opc)[-1] --db --settle' -x -a '(__fish_complete_directories (commandline -ct))'
complete -c zvfee -n '__fish_seen_argument -l report; and test (commandline -opc)[-1] = --report' -x -a '(__zvfee_reports)'
complete -c zvfee -n 'test (commandline -opc)[-1] = --format' -x -a 'csv tsv json xlsx html pdf'
complete -c zvfee -n 'test (commandline -opc)[-1] = --encoding' -x -a 'windows-1252 utf-8'
complete -c zvfee -n 'test (commandline -opc)[-1] = --delimiter' -x -a '\; \| ,'
complete -c zvfee -n 'contains -- (commandline -opc)[-1] --db --output --password-file' -r -F

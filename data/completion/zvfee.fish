# fish completion for zvfee: commands, options, report names and numbers, formats, files.
# The commands and reports are read from zvfee's own help, so they never go stale.

function __zvfee_commands
    zvfee --help 2>/dev/null | sed -n '/^Commands:/,/^$/p' | awk 'NF && !/^Commands:/ {c=$1; $1=""; sub(/^ +/, ""); print c "\t" $0}'
end

function __zvfee_reports
    zvfee report --help 2>/dev/null | sed -n '/^Reports:/,/^$/p' | sed -n 's/^  \([0-9][0-9]*\)  \(.*\)$/\1\t\2\n\2/p'
end

function __zvfee_options
    set -l command (commandline -opc)[2]
    zvfee $command --help 2>/dev/null | grep -o -- '--[a-z][a-z0-9-]*' | sort -u
end

complete -c zvfee -f
complete -c zvfee -n __fish_use_subcommand -a '(__zvfee_commands)'
complete -c zvfee -n __fish_use_subcommand -l help -d 'show the help'
complete -c zvfee -n __fish_use_subcommand -l version -d 'show the version'
complete -c zvfee -n 'not __fish_use_subcommand; and string match -q -- "-*" (commandline -ct)' -a '(__zvfee_options)'
# Files where a command takes them: results files, the backup written or read back; watch takes a
# folder.
complete -c zvfee -n 'not __fish_use_subcommand; and __fish_seen_subcommand_from import backup restore' -F
complete -c zvfee -n 'not __fish_use_subcommand; and __fish_seen_subcommand_from watch; and not string match -q -- "-*" (commandline -ct); and not contains -- (commandline -opc)[-1] --db --settle' -x -a '(__fish_complete_directories (commandline -ct))'
complete -c zvfee -n '__fish_seen_argument -l report; and test (commandline -opc)[-1] = --report' -x -a '(__zvfee_reports)'
complete -c zvfee -n 'test (commandline -opc)[-1] = --format' -x -a 'csv tsv json xlsx'
complete -c zvfee -n 'test (commandline -opc)[-1] = --encoding' -x -a 'windows-1252 utf-8'
complete -c zvfee -n 'test (commandline -opc)[-1] = --delimiter' -x -a '\; \| ,'
complete -c zvfee -n 'contains -- (commandline -opc)[-1] --db --output --password-file' -r -F

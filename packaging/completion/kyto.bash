# bash completion for kyto. It asks kyto itself (`kyto ... --help`) for the
# commands, options and option values of the command being typed, so it never
# falls behind the program.

# Prints "name value-kind" per option and "@ name" per subcommand of the help
# text on standard input; the value kind is "-" for a flag, "TYPE" or
# "{a,b,c}" for an option that takes a value.
_kyto_parse_help() {
    local section="" line name rest
    while IFS= read -r line; do
        case $line in
            Options:*) section=options; continue ;;
            Subcommands:*) section=subcommands; continue ;;
            Positionals:*) section=""; continue ;;
            [^\ ]*) section=""; continue ;;
        esac
        line=${line#"${line%%[! ]*}"}
        if [[ $section == options && $line == -* ]]; then
            name=${line%% *}
            name=${name##*,}
            rest=${line#"${line%% *}"}
            rest=${rest# }
            if [[ $rest =~ ^([A-Z]+)(:(\{[^}]*\}))? ]]; then
                echo "$name ${BASH_REMATCH[3]:-${BASH_REMATCH[1]}}"
            else
                echo "$name -"
            fi
        elif [[ $section == subcommands && $line =~ ^([a-z][a-z-]*) ]]; then
            echo "@ ${BASH_REMATCH[1]}"
        fi
    done
}

_kyto() {
    local cur prev words cword
    _init_completion -n = || return

    local kyto=${words[0]}
    local -a path=()
    local help entries i w kind
    help=$("$kyto" --help 2>/dev/null) || return
    entries=$(_kyto_parse_help <<<"$help")

    # Walk the words typed so far: a subcommand name descends into it, an
    # option that takes a value skips that value.
    for ((i = 1; i < cword; i++)); do
        w=${words[i]}
        if [[ $w == -* ]]; then
            kind=$(awk -v o="${w%%=*}" '$1 == o { print $2 }' <<<"$entries")
            [[ -n $kind && $kind != - && $w != *=* ]] && ((i++))
        elif grep -qx "@ $w" <<<"$entries"; then
            path+=("$w")
            help=$("$kyto" "${path[@]}" --help 2>/dev/null) || return
            entries=$(_kyto_parse_help <<<"$help")
        fi
    done

    kind=""
    [[ $prev == -* ]] && kind=$(awk -v o="$prev" '$1 == o { print $2 }' <<<"$entries")
    if [[ -n $kind && $kind != - ]]; then
        case $prev in
            --data-dir | --snapshot) _filedir -d; return ;;
            --port)
                local -a ports=(LAN /dev/ttyUSB* /dev/ttyACM* /dev/ttyS* /dev/pts/[0-9]* /dev/kyto-module)
                COMPREPLY=($(compgen -W "${ports[*]}" -- "$cur"))
                return ;;
            --functions)
                local done="" names="body hand face direction age gender gaze blink expression recognition verify all"
                [[ $cur == *,* ]] && done=${cur%,*},
                COMPREPLY=($(compgen -P "$done" -W "$names" -- "${cur##*,}"))
                compopt -o nospace 2>/dev/null
                return ;;
        esac
        if [[ $kind == \{*\} ]]; then
            local values=${kind:1:${#kind}-2}
            COMPREPLY=($(compgen -W "${values//,/ }" -- "$cur"))
        fi
        return
    fi

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(awk '$1 != "@" { print $1 }' <<<"$entries")" -- "$cur"))
        return
    fi
    local subcommands
    subcommands=$(awk '$1 == "@" { print $2 }' <<<"$entries")
    if [[ -n $subcommands ]]; then
        COMPREPLY=($(compgen -W "$subcommands" -- "$cur"))
    else
        _filedir  # the command's own arguments: files (album save/load) or numbers
    fi
}
complete -F _kyto kyto

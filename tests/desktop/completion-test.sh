#!/usr/bin/env bash
# completion-test.sh KYTO COMPLETION: drives the bash completion of kyto as
# bash-completion would and checks what it offers against the real program.
set -uo pipefail
kyto=$1
completion=$2
if [ ! -r /usr/share/bash-completion/bash_completion ]; then
    echo "bash-completion is not installed (scripts/setup-deps.sh installs it)" >&2
    exit 1
fi
source /usr/share/bash-completion/bash_completion
source "$completion"

failed=0
# offers "LINE" "WORD..." : every WORD is among the completions of LINE
# (completed at its end) and nothing outside the given words when the list
# ends with "=".
offers() {
    local line=$1; shift
    COMP_LINE="$kyto ${line}"
    COMP_POINT=${#COMP_LINE}
    read -ra COMP_WORDS <<<"$COMP_LINE"
    [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _kyto
    local got=" ${COMPREPLY[*]} " want exact=0
    [[ ${!#} == "=" ]] && exact=1
    for want in "$@"; do
        [[ $want == "=" ]] && continue
        if [[ $got != *" $want "* ]]; then
            echo "FAIL: 'kyto $line' offers [${COMPREPLY[*]}], not $want"
            failed=1
        fi
    done
    if ((exact)) && ((${#COMPREPLY[@]} != $# - 1)); then
        echo "FAIL: 'kyto $line' offers [${COMPREPLY[*]}], expected only [${*:1:$#-1}]"
        failed=1
    fi
}

offers "" ports version detect album =
offers "--" --port --baud --data-dir --version --help
offers "--port /dev/pts/3 --baud 9600 d" detect =
offers "--data-dir /tmp al" album =
offers "detect --im" --image =
offers "detect --image " 320x240 160x120 none =
offers "detect --output j" json =
offers "detect --frames 3 --st" --stabilization =
offers "detect --functions face,a" face,age face,all =
offers "album " list add rename register delete delete-data delete-all save load flash check type
offers "album del" delete delete-data delete-all =
offers "album add --" --id
offers "--port " LAN

# Every option the completion offers for detect is one kyto accepts.
offers "detect --"
for option in "${COMPREPLY[@]}"; do
    "$kyto" detect --help | grep -q -- "$option" || { echo "FAIL: $option unknown"; failed=1; }
done
((failed)) && exit 1
echo "completion: all cases passed"

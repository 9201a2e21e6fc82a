# Tab completion of the Vorn commands' options, their values and files, for
# bash. Everything comes from each command's own --help, so it never goes
# stale: the options, and what each option takes ("--input FILE": a file,
# "--color WHEN:{auto,always,never}": one of those words, "--max-steps N":
# nothing to offer).

_vorn_options() {
    "$1" --help 2>/dev/null | grep -oE -- '(^|[ ,])--?[A-Za-z][A-Za-z-]*' | tr -d ' ,' | sort -u
}

# The name of the value OPTION takes, as the command's --help gives it after
# the option ("FILE", "WHEN:{auto,always,never}"); nothing for a flag.
_vorn_value_of() {
    "$1" --help 2>/dev/null | awk -v option="$2" '
        {
            n = split($1, names, ",")
            for (i = 1; i <= n; i++) {
                if (names[i] == option) {
                    # One space after the option: its value; more: the description.
                    rest = substr($0, index($0, $1) + length($1))
                    if (rest ~ /^ [^ ]/) {
                        split(rest, words, " ")
                        print words[1]
                    }
                    exit
                }
            }
        }'
}

_vorn() {
    local command=$1 current=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD-1]}
    COMPREPLY=()
    # "--color=al" comes as the words "--color", "=" and "al".
    if [[ $current == = ]]; then
        previous=${COMP_WORDS[COMP_CWORD-1]}
        current=
    elif [[ $previous == = && $COMP_CWORD -ge 2 ]]; then
        previous=${COMP_WORDS[COMP_CWORD-2]}
    fi
    if [[ $command != vornasm && $previous == -* ]]; then
        local value
        value=$(_vorn_value_of "$command" "$previous")
        if [[ $value == *\{*\}* ]]; then
            local choices=${value#*\{}
            choices=${choices%%\}*}
            mapfile -t COMPREPLY < <(compgen -W "${choices//,/ }" -- "$current")
            return 0
        fi
        if [[ -n $value && $value != *FILE* && $value != *SCRIPT* ]]; then
            return 0  # a number or a range: nothing to offer
        fi
    fi
    if [[ $command != vornasm && $current == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(_vorn_options "$command")" -- "$current")
        return 0
    fi
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$current")
}

complete -F _vorn vornasm vornsim vornlist vorndbg vorngrade vornls

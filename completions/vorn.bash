# Tab completion of the Vorn commands' options and files, for bash.
# The options come from each command's own --help, so they never go stale.

_vorn_options() {
    "$1" --help 2>/dev/null | grep -oE -- '(^|[ ,])--?[A-Za-z][A-Za-z-]*' | tr -d ' ,' | sort -u
}

_vorn() {
    local command=$1 current=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD-1]}
    COMPREPLY=()
    case $previous in
        --max-steps | --max-output | --history | -j | --jobs)
            return 0 ;;
    esac
    if [[ $command != vornasm && $current == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(_vorn_options "$command")" -- "$current")
        return 0
    fi
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$current")
}

complete -F _vorn vornasm vornsim vornlist vorndbg vorngrade vornls

# bash completion for fernbeacon                                    -*- shell-script -*-

# The live sessions' PIDs, read without a JSON tool: "pid": with unescaped quotes can only be a
# key, never text inside a string.
_fernbeacon_pids() {
    command fernbeacon list --json 2>/dev/null | grep -o '"pid": *[0-9]*' | grep -o '[0-9]*$'
}

_fernbeacon() {
    local cur prev words cword split
    _init_completion -s || return

    if ((cword == 1)); then
        COMPREPLY=($(compgen -W 'list focus open watch menu help --help --version' -- "$cur"))
        return
    fi
    if [[ $prev == --probes ]] && $split; then
        COMPREPLY=($(compgen -W 'proc tools' -- "$cur"))
        return
    fi

    local options='--verbose --help'
    case ${words[1]} in
        list)
            COMPREPLY=($(compgen -W '--json --probes= --verbose --help' -- "$cur"))
            [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
            ;;
        focus)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "$options" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "$(_fernbeacon_pids)" -- "$cur"))
            fi
            ;;
        open)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "$options" -- "$cur"))
            else
                _filedir -d
            fi
            ;;
        watch)
            COMPREPLY=($(compgen -W '--json --waybar --verbose --help' -- "$cur"))
            ;;
        menu)
            COMPREPLY=($(compgen -W "$options" -- "$cur"))
            ;;
        help)
            ((cword == 2)) && COMPREPLY=($(compgen -W 'tray list focus open watch menu' -- "$cur"))
            ;;
    esac
} &&
    complete -F _fernbeacon fernbeacon

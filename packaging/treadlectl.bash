# bash completion for treadlectl: commands, global options, and key names (taken from
# 'treadlectl keys', so they always match the program) joined with '+'.
_treadlectl_files() {
    if declare -F _filedir >/dev/null; then
        _filedir "$@"
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}

_treadlectl() {
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion -n = || return
    else
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
        cur="${COMP_WORDS[COMP_CWORD]}"
        prev="${COMP_WORDS[COMP_CWORD - 1]}"
    fi

    local commands="list set clear delay run-mode raw read watch press apply provision export show keys"
    local globals="--virtual --virtual= --virtual-devices --capture --dry-run --report-length --vid --pid
                   --device --index --all --quiet --help --version"

    case "$prev" in
        --capture | --device)
            _treadlectl_files
            return
            ;;
        --long-press | --power-on)
            COMPREPLY=($(compgen -W "on off" -- "$cur"))
            return
            ;;
        --playback)
            COMPREPLY=($(compgen -W "single loop" -- "$cur"))
            return
            ;;
        --virtual-devices | --report-length | --vid | --pid | --index | --delay | --timeout | --count)
            return
            ;;
    esac
    if [[ "$cur" == --virtual=* ]]; then
        cur="${cur#--virtual=}"
        _treadlectl_files
        return
    fi

    # The command and the arguments after it.
    local i command="" position=0
    for ((i = 1; i < cword; i++)); do
        case "${words[i]}" in
            --capture | --device | --virtual-devices | --report-length | --vid | --pid | --index | --delay | \
                --long-press | --power-on | --playback | --timeout | --count)
                ((i++))
                ;;
            -*) ;;
            *)
                if [[ -z "$command" ]]; then
                    command="${words[i]}"
                else
                    ((position++))
                fi
                ;;
        esac
    done

    if [[ -z "$command" ]]; then
        if [[ "$cur" == -* ]]; then
            COMPREPLY=($(compgen -W "$globals" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi

    case "$command" in
        set)
            if [[ "$cur" == -* ]]; then
                COMPREPLY=($(compgen -W "--delay --long-press --help" -- "$cur"))
            elif ((position == 0)); then
                COMPREPLY=($(compgen -W "1 2 3 4" -- "$cur"))
            elif ((position == 1)); then
                local prefix="" last="$cur"
                if [[ "$cur" == *+* ]]; then
                    prefix="${cur%+*}+"
                    last="${cur##*+}"
                fi
                local names
                names="$("${words[0]}" keys 2>/dev/null)"
                COMPREPLY=($(compgen -P "$prefix" -W "$names" -- "$last"))
                # Modifiers are followed by more; let the user type on after the '+'.
                [[ ${#COMPREPLY[@]} -eq 1 && "${COMPREPLY[0]}" =~ (^|\+)r?(ctrl|shift|alt|win)$ ]] &&
                    COMPREPLY=("${COMPREPLY[0]}+") && compopt -o nospace
            fi
            ;;
        list) COMPREPLY=($(compgen -W "--all-interfaces --help" -- "$cur")) ;;
        clear) COMPREPLY=($(compgen -W "--yes --help" -- "$cur")) ;;
        delay) COMPREPLY=($(compgen -W "--long-press --help" -- "$cur")) ;;
        run-mode) COMPREPLY=($(compgen -W "--power-on --playback --help" -- "$cur")) ;;
        read) COMPREPLY=($(compgen -W "--timeout --help" -- "$cur")) ;;
        watch) COMPREPLY=($(compgen -W "--count --timeout --help" -- "$cur")) ;;
        press)
            if [[ "$cur" == -* ]]; then
                COMPREPLY=($(compgen -W "--help" -- "$cur"))
            elif ((position == 0)); then
                COMPREPLY=($(compgen -W "1 2 3 4" -- "$cur"))
            fi
            ;;
        provision)
            if [[ "$cur" == -* ]]; then
                COMPREPLY=($(compgen -W "--count --timeout --include-present --again --help" -- "$cur"))
            else
                _treadlectl_files toml
            fi
            ;;
        apply | export)
            if [[ "$cur" == -* ]]; then
                COMPREPLY=($(compgen -W "--help" -- "$cur"))
            else
                _treadlectl_files toml
            fi
            ;;
    esac
} && complete -F _treadlectl treadlectl

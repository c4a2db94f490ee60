# bash completion for kvrsetup-cli, made by "kvrsetup-cli help --bash-completion"
_kvrsetup_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} options plain
    if [[ $COMP_CWORD -eq 1 ]]; then
        COMPREPLY=($(compgen -W "check-table report show convert diff decode-pdu modem-info at book history tasks send-profile read-profile poll send-gprs upload help" -- "$cur"))
        return
    fi
    case "${COMP_WORDS[1]}" in
        check-table)
            case "$prev" in
            esac
            options="--help --service"
            plain='compgen -f -- "$cur"' ;;
        report)
            case "$prev" in
                --table) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --data) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --out) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --html) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --xsl) COMPREPLY=($(compgen -f -- "$cur")); return ;;
            esac
            options="--help --service --table --data --out --html --xsl"
            plain='compgen -f -- "$cur"' ;;
        show)
            case "$prev" in
                --table) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --data) COMPREPLY=($(compgen -f -- "$cur")); return ;;
            esac
            options="--help --service --table --data"
            plain='compgen -f -- "$cur"' ;;
        convert)
            case "$prev" in
                --table) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --data) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --out) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --form) COMPREPLY=($(compgen -W "260 390" -- "$cur")); return ;;
            esac
            options="--help --service --table --data --out --form"
            plain='compgen -f -- "$cur"' ;;
        diff)
            case "$prev" in
                --table) COMPREPLY=($(compgen -f -- "$cur")); return ;;
            esac
            options="--help --service --table"
            plain='compgen -f -- "$cur"' ;;
        decode-pdu)
            case "$prev" in
            esac
            options="--help"
            plain='compgen -f -- "$cur"' ;;
        modem-info)
            case "$prev" in
                --port) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --baud) COMPREPLY=($(compgen -W "2400 4800 9600 19200 38400 57600 115200" -- "$cur")); return ;;
                --parity) COMPREPLY=($(compgen -W "n e o" -- "$cur")); return ;;
                --data-bits) COMPREPLY=($(compgen -W "7 8" -- "$cur")); return ;;
                --stop) COMPREPLY=($(compgen -W "1 2" -- "$cur")); return ;;
            esac
            options="--help --port --baud --parity --data-bits --stop"
            plain='compgen -f -- "$cur"' ;;
        at)
            case "$prev" in
                --port) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --baud) COMPREPLY=($(compgen -W "2400 4800 9600 19200 38400 57600 115200" -- "$cur")); return ;;
                --parity) COMPREPLY=($(compgen -W "n e o" -- "$cur")); return ;;
                --data-bits) COMPREPLY=($(compgen -W "7 8" -- "$cur")); return ;;
                --stop) COMPREPLY=($(compgen -W "1 2" -- "$cur")); return ;;
            esac
            options="--help --port --baud --parity --data-bits --stop"
            plain='compgen -f -- "$cur"' ;;
        book)
            case "$prev" in
            esac
            options="--help --json"
            plain='compgen -W "list add edit delete" -- "$cur"' ;;
        history)
            case "$prev" in
                --terminal) COMPREPLY=($(true)); return ;;
                --phone) COMPREPLY=($(true)); return ;;
                --since) COMPREPLY=($(true)); return ;;
            esac
            options="--help --terminal --phone --since --failed --json"
            plain='compgen -f -- "$cur"' ;;
        tasks)
            case "$prev" in
                --terminal) COMPREPLY=($(true)); return ;;
                --smsd) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --out) COMPREPLY=($(compgen -f -- "$cur")); return ;;
            esac
            options="--help --open --failed --terminal --json --smsd --out"
            plain='compgen -W "cancel get" -- "$cur"' ;;
        send-profile)
            case "$prev" in
                --port) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --baud) COMPREPLY=($(compgen -W "2400 4800 9600 19200 38400 57600 115200" -- "$cur")); return ;;
                --parity) COMPREPLY=($(compgen -W "n e o" -- "$cur")); return ;;
                --data-bits) COMPREPLY=($(compgen -W "7 8" -- "$cur")); return ;;
                --stop) COMPREPLY=($(compgen -W "1 2" -- "$cur")); return ;;
                --smsd) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --phone) COMPREPLY=($(true)); return ;;
                --terminal) COMPREPLY=($(true)); return ;;
                --smsc) COMPREPLY=($(true)); return ;;
                --wait) COMPREPLY=($(true)); return ;;
            esac
            options="--help --port --baud --parity --data-bits --stop --smsd --phone --terminal --all --retry-failed --json --smsc --wait"
            plain='compgen -f -- "$cur"' ;;
        read-profile)
            case "$prev" in
                --port) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --baud) COMPREPLY=($(compgen -W "2400 4800 9600 19200 38400 57600 115200" -- "$cur")); return ;;
                --parity) COMPREPLY=($(compgen -W "n e o" -- "$cur")); return ;;
                --data-bits) COMPREPLY=($(compgen -W "7 8" -- "$cur")); return ;;
                --stop) COMPREPLY=($(compgen -W "1 2" -- "$cur")); return ;;
                --smsd) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --phone) COMPREPLY=($(true)); return ;;
                --terminal) COMPREPLY=($(true)); return ;;
                --smsc) COMPREPLY=($(true)); return ;;
                --wait) COMPREPLY=($(true)); return ;;
            esac
            options="--help --port --baud --parity --data-bits --stop --smsd --phone --terminal --all --retry-failed --json --smsc --wait"
            plain='compgen -f -- "$cur"' ;;
        poll)
            case "$prev" in
                --port) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --baud) COMPREPLY=($(compgen -W "2400 4800 9600 19200 38400 57600 115200" -- "$cur")); return ;;
                --parity) COMPREPLY=($(compgen -W "n e o" -- "$cur")); return ;;
                --data-bits) COMPREPLY=($(compgen -W "7 8" -- "$cur")); return ;;
                --stop) COMPREPLY=($(compgen -W "1 2" -- "$cur")); return ;;
                --smsd) COMPREPLY=($(compgen -f -- "$cur")); return ;;
            esac
            options="--help --port --baud --parity --data-bits --stop --smsd"
            plain='compgen -f -- "$cur"' ;;
        send-gprs)
            case "$prev" in
                --port) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --baud) COMPREPLY=($(compgen -W "2400 4800 9600 19200 38400 57600 115200" -- "$cur")); return ;;
                --parity) COMPREPLY=($(compgen -W "n e o" -- "$cur")); return ;;
                --data-bits) COMPREPLY=($(compgen -W "7 8" -- "$cur")); return ;;
                --stop) COMPREPLY=($(compgen -W "1 2" -- "$cur")); return ;;
                --smsd) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --phone) COMPREPLY=($(true)); return ;;
                --terminal) COMPREPLY=($(true)); return ;;
                --smsc) COMPREPLY=($(true)); return ;;
                --apn) COMPREPLY=($(true)); return ;;
                --user) COMPREPLY=($(true)); return ;;
                --password) COMPREPLY=($(true)); return ;;
                --password-file) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --server) COMPREPLY=($(true)); return ;;
                --server-port) COMPREPLY=($(true)); return ;;
                --wait) COMPREPLY=($(true)); return ;;
            esac
            options="--help --port --baud --parity --data-bits --stop --smsd --phone --terminal --all --retry-failed --json --smsc --apn --user --password --password-file --server --server-port --wait"
            plain='compgen -f -- "$cur"' ;;
        upload)
            case "$prev" in
                --port) COMPREPLY=($(compgen -f -- "$cur")); return ;;
                --baud) COMPREPLY=($(compgen -W "2400 4800 9600 19200 38400 57600 115200" -- "$cur")); return ;;
                --parity) COMPREPLY=($(compgen -W "n e o" -- "$cur")); return ;;
                --data-bits) COMPREPLY=($(compgen -W "7 8" -- "$cur")); return ;;
                --stop) COMPREPLY=($(compgen -W "1 2" -- "$cur")); return ;;
                --phone) COMPREPLY=($(true)); return ;;
                --terminal) COMPREPLY=($(true)); return ;;
                --bank) COMPREPLY=($(compgen -W "0 1 2 3" -- "$cur")); return ;;
                --page) COMPREPLY=($(true)); return ;;
            esac
            options="--help --port --baud --parity --data-bits --stop --phone --terminal --all --linear --bank --page --resume"
            plain='compgen -f -- "$cur"' ;;
        help)
            case "$prev" in
            esac
            options="--help"
            plain='compgen -W "check-table report show convert diff decode-pdu modem-info at book history tasks send-profile read-profile poll send-gprs upload help" -- "$cur"' ;;
        *) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ $COMP_CWORD -eq 2 || $plain == compgen\ -f* ]]; then
        COMPREPLY=($(eval "$plain"))
    fi
}
complete -F _kvrsetup_cli kvrsetup-cli

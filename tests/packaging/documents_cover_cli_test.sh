#!/usr/bin/env bash
# Every command and option that vellumark-cli's usage names is described in its manual page
# (under that command) and offered by its bash completion (after that command).
# Usage: documents_cover_cli_test.sh VELLUMARK-CLI MANUAL-SOURCE COMPLETION-FILE
set -u
cli=$1
manual=$2
completion=$3
failures=0
fail()
{
    echo "FAIL $*"
    ((failures++))
}

usage=$("$cli" --help) || { echo "FAIL $cli --help"; exit 1; }
mapfile -t lines < <(sed -n '/^commands:/,/^$/{/^  /p}' <<< "$usage")
((${#lines[@]} >= 10)) || fail "too few commands in the usage: ${#lines[@]}"

framework=/usr/share/bash-completion/bash_completion
complete_too=false
if [[ -r $framework ]]; then
    # shellcheck disable=SC1090
    source "$framework"
    # shellcheck disable=SC1090
    source "$completion"
    complete_too=true
else
    echo "bash-completion is not installed: the completion is not checked"
fi

# The options the completion offers after the command words.
offered()
{
    COMP_WORDS=(vellumark-cli "$@" --)
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _vellumark_cli 2>/dev/null
    printf ' %s ' "${COMPREPLY[@]}"
}

for line in "${lines[@]}"; do
    read -ra words <<< "$line"
    command=("${words[0]}")
    [[ ${words[1]} == new ]] && command+=(new)
    # The manual's paragraph of this command: its heading line down to the next heading.
    paragraph=$(heading="*${command[*]}*" awk '
        !inside && ($0 == ENVIRON["heading"] || index($0, ENVIRON["heading"] " ") == 1) { inside = 1; print; next }
        inside && /^(\*[a-z]|# )/ { exit }
        inside { print }' "$manual")
    [[ -n $paragraph ]] || fail "manual: no paragraph for ${command[*]}"
    $complete_too && options=$(offered "${command[@]}")
    for option in $(grep -o -- '--[a-z][a-z-]*' <<< "$line" | sort -u); do
        grep -q -- "\\*$option\\*" <<< "$paragraph" || fail "manual: ${command[*]} does not describe $option"
        if $complete_too && [[ $options != *" $option "* ]]; then
            fail "completion: ${command[*]} does not offer $option"
        fi
    done
done

# The options before the command.
for option in $(sed -n '/^options:/,/^$/p' <<< "$usage" | grep -o -- '--[a-z][a-z-]*' | sort -u); do
    grep -q -- "^\\*$option\\*\\|, \\*$option\\*" "$manual" || fail "manual: $option is not described"
done

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "the manual page and the completion cover ${#lines[@]} commands"

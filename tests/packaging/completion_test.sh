#!/usr/bin/env bash
# Runs the bash completion of vellumark-cli on command lines against a small library and checks
# what it offers. Usage: completion_test.sh COMPLETION-FILE
# Exit 77 (skipped) when bash-completion, whose helpers the completion uses, is not installed.
set -u
completion=$1
framework=/usr/share/bash-completion/bash_completion
if [[ ! -r $framework ]]; then
    echo "bash-completion is not installed (Debian package bash-completion): skipped"
    exit 77
fi
# shellcheck disable=SC1090
source "$framework"
# shellcheck disable=SC1090
source "$completion"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
home=$scratch/home
library=$home/CatalogLibrary
mkdir -p "$library/My Group/Deeper" "$library/Mp3" "$scratch/elsewhere"
touch "$library/My Group/it's a \"disc\".xml" "$library/Mp3/a.xml" "$library/top.xml"

failures=0

# complete_words WORD...: runs the completion as bash does when the cursor ends the last word,
# each argument being one word as typed (quotes and backslashes included). The line is the
# words joined by blanks, or $typed_line where the shell split a word at "=".
complete_words()
{
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=${typed_line:-"${COMP_WORDS[*]}"}
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _vellumark_cli 2>/dev/null
}

# expect WHAT EXPECTED...: COMPREPLY holds exactly the EXPECTED entries, in any order.
expect()
{
    local what=$1
    shift
    local got expected
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort)
    expected=$(printf '%s\n' "$@" | sort)
    if [[ $got != "$expected" ]]; then
        printf 'FAIL %s\n  expected: %s\n  got:      %s\n' "$what" "${expected//$'\n'/ | }" "${got//$'\n'/ | }"
        ((failures++))
    fi
}

# offers WHAT WORD...: COMPREPLY holds at least these.
offers()
{
    local what=$1 word entry found
    shift
    for word in "$@"; do
        found=false
        for entry in "${COMPREPLY[@]}"; do [[ $entry == "$word" ]] && found=true; done
        if ! $found; then
            printf 'FAIL %s: %s missing from: %s\n' "$what" "$word" "${COMPREPLY[*]}"
            ((failures++))
        fi
    done
}

cli=(vellumark-cli --home "$home")
disc="My Group/it's a \"disc\".xml"

complete_words vellumark-cli ""
expect "commands" scan library show edit search export group rename move delete index update compare duplicates
complete_words vellumark-cli --h
expect "options before the command" --help --home
complete_words "${cli[@]}" group ""
expect "group takes new" new

complete_words "${cli[@]}" show My
expect "a group at the root" "My Group/"
complete_words "${cli[@]}" show 'My\ Group/'
expect "inside a group" "$disc" "My Group/Deeper/"
complete_words "${cli[@]}" show 'My\ Group/it\'
expect "after a backslash" "$disc"
complete_words "${cli[@]}" show '"My Group/it'
expect "in double quotes" "$disc"
complete_words "${cli[@]}" delete "'My Group/it'\\''s a \"d"
expect "in single quotes" "$disc"
complete_words "${cli[@]}" rename 'My\ Group/it\'\''s\ a\ \"disc\"'
expect "blanks and quotes escaped" "$disc"
complete_words "${cli[@]}" export ""
expect "the library root, hidden entries left out" "My Group/" "Mp3/" "top.xml"
touch "$library/.vm-abcd1234.tmp" "$library/.kept.xml"
complete_words "${cli[@]}" show .
expect "hidden catalogs when asked for, a save's temporary file never" ".kept.xml"
rm "$library/.vm-abcd1234.tmp" "$library/.kept.xml"

complete_words "${cli[@]}" move "'$disc'" ""
expect "move's second argument is a group" "My Group/" "Mp3/"
complete_words "${cli[@]}" move "'$disc'" Mp3/ ""
expect "move takes two arguments" 
complete_words "${cli[@]}" scan "$scratch" --name Disc --group ""
expect "scan's --group" "My Group/" "Mp3/"
complete_words "${cli[@]}" search --scope Mp
expect "search's --scope" "Mp3/"
typed_line="${cli[*]} duplicates --scope=My" complete_words "${cli[@]}" duplicates --scope = My
expect "--scope=ITEM" "My Group/"
complete_words "${cli[@]}" compare --ignore-time top.xml "My\\ Group/it"
expect "compare's NEW" "$disc"
complete_words "${cli[@]}" compare top.xml --folder "$scratch" ""
expect "compare against a folder takes no NEW"
complete_words "${cli[@]}" show "$scratch/else"
expect "a path of its own completes as a file path" "$scratch/elsewhere"

complete_words "${cli[@]}" search --format ""
expect "formats" html text csv xml xlsx
complete_words "${cli[@]}" duplicates --by ""
expect "--by modes" name-size size name
complete_words "${cli[@]}" search --regex --type ""
expect "--type values" file directory
complete_words "${cli[@]}" export top.xml --columns FileName,FileS
expect "--columns goes on after a comma" FileName,FileSize

complete_words "${cli[@]}" scan --
expect "scan's options" --name --group --only-folders --mask --force --help
complete_words "${cli[@]}" search --
offers "search's options" --scope --name --ext --desc --case --whole --format --out --force --raw \
    --no-index --min-size --max-size --after --before --type --regex --count
complete_words "${cli[@]}" export top.xml --
offers "export's options" --format --out --columns --sep --force --raw
complete_words "${cli[@]}" edit top.xml --
offers "edit's options" --entry --name --description
complete_words "${cli[@]}" index --
expect "index's options" --status --rebuild --help
complete_words "${cli[@]}" update top.xml --
expect "update's options" --from --mask --only-folders --dry-run --force --help
complete_words "${cli[@]}" compare top.xml --
expect "compare's options" --folder --mask --only-folders --ignore-time --help
complete_words "${cli[@]}" duplicates --
expect "duplicates' options" --scope --by --min-size --no-index --help
complete_words "${cli[@]}" library --
expect "library's options" --groups-only --help

# Without --home, the library is the program folder's: beside a writable executable ...
mkdir -p "$scratch/portable/CatalogLibrary/Rock"
printf '#!/bin/sh\n' > "$scratch/portable/vellumark-cli"
chmod +x "$scratch/portable/vellumark-cli"
touch "$scratch/portable/CatalogLibrary/Rock/Live 1.xml"
complete_words "$scratch/portable/vellumark-cli" show Rock/
expect "the executable's folder" "Rock/Live 1.xml"
PATH=$scratch/portable:$PATH complete_words vellumark-cli delete R
expect "the executable found on PATH" "Rock/"
# ... and the per-user data folder for an executable below /usr, even where it could write.
XDG_DATA_HOME=$scratch/data _vellumark_cli_program_folder /usr/bin/vellumark-cli
[[ $REPLY == "$scratch/data/vellumark" ]] || { echo "FAIL /usr rule: $REPLY"; ((failures++)); }
XDG_DATA_HOME=relative HOME=$scratch _vellumark_cli_program_folder /usr/local/bin/vellumark-cli
[[ $REPLY == "$scratch/.local/share/vellumark" ]] || { echo "FAIL relative XDG_DATA_HOME: $REPLY"; ((failures++)); }

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all completion checks passed"

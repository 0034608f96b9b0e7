#!/usr/bin/env bash
# Runs the built programs with --help, --version and wrong arguments and checks what they print
# and how they exit. Usage: program_options_test.sh VERSION VELLUMARK-CLI [VELLUMARK]
set -u
version=$1
cli=$2
gui=${3:-}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export HOME=$scratch XDG_DATA_HOME=$scratch/data XDG_RUNTIME_DIR=$scratch/runtime QT_QPA_PLATFORM=offscreen
mkdir -m 700 "$XDG_RUNTIME_DIR"
failures=0

# check WHAT CODE OUT ERR COMMAND...: the command exits with CODE and prints exactly OUT and
# ERR; an OUT of the form "^TEXT" only has to begin with TEXT.
check()
{
    local what=$1 code=$2 out=$3 err=$4
    shift 4
    local got_out got_err got_code
    got_out=$("$@" 2> "$scratch/err")
    got_code=$?
    got_err=$(< "$scratch/err")
    local out_ok=false
    if [[ $out == ^* ]]; then
        [[ $got_out == "${out#^}"* ]] && out_ok=true
    else
        [[ $got_out == "$out" ]] && out_ok=true
    fi
    if [[ $got_code != "$code" ]] || ! $out_ok || [[ $got_err != "$err" ]]; then
        printf 'FAIL %s\n  exit %s (expected %s)\n  stdout: %s\n  stderr: %s\n' \
            "$what" "$got_code" "$code" "$got_out" "$got_err"
        ((failures++))
    fi
}

hint="Try 'vellumark-cli --help' for more information."
check "cli --version" 0 "vellumark-cli $version" "" "$cli" --version
check "cli --help" 0 "^usage: vellumark-cli [--home DIR] COMMAND" "" "$cli" --help
check "cli help after a command" 0 "^usage: vellumark-cli" "" "$cli" delete --help
check "cli without a command" 2 "" $'vellumark-cli: Missing command\n'"$hint" "$cli"
check "cli unknown option" 2 "" $'vellumark-cli: Unknown option --bogus\n'"$hint" "$cli" --bogus
check "cli unknown command" 2 "" $'vellumark-cli: Unknown command frobnicate\n'"$hint" "$cli" frobnicate

if [[ -n $gui ]]; then
    hint="Try 'vellumark --help' for more information."
    check "gui --version" 0 "vellumark $version" "" "$gui" --version
    check "gui --help" 0 "^usage: vellumark [--help | --version]" "" "$gui" --help
    check "gui --version without any display" 0 "vellumark $version" "" \
        env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY "$gui" --version
    check "gui unknown option" 2 "" $'vellumark: Unknown option --bogus\n'"$hint" "$gui" --bogus
    check "gui after Qt's own options" 2 "" $'vellumark: Unknown option --bogus\n'"$hint" \
        "$gui" -style Fusion -reverse --bogus
    check "gui argument" 2 "" $'vellumark: Unexpected argument catalog.xml\n'"$hint" "$gui" catalog.xml
fi

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all program option checks passed"

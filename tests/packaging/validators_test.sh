#!/usr/bin/env bash
# The desktop entry, the AppStream metadata and the generated manual pages pass their
# validators. Usage: validators_test.sh DATA-FOLDER BUILT-MANUAL-FOLDER
# Exit 77 (skipped) when a validator is not installed.
set -u
data=$1
manuals=$2
for tool in desktop-file-validate appstreamcli man; do
    if ! command -v "$tool" > /dev/null; then
        echo "$tool is not installed (desktop-file-utils, appstream, man-db): skipped"
        exit 77
    fi
done
failures=0

desktop-file-validate "$data/org.vellumark.Vellumark.desktop" || ((failures++))
# Pedantic remarks (an upper-case letter in the id, as Qt programs' ids have) are no failure.
appstreamcli validate --no-net "$data/org.vellumark.Vellumark.metainfo.xml" || ((failures++))

shopt -s nullglob
pages=("$manuals"/*.1.gz)
((${#pages[@]} > 0)) || { echo "FAIL no manual pages in $manuals"; ((failures++)); }
for page in "${pages[@]}"; do
    # What lintian runs on a manual page: any warning from groff or man is a fault.
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 > /dev/null)
    if [[ -n $warnings ]]; then
        printf 'FAIL %s:\n%s\n' "$page" "$warnings"
        ((failures++))
    fi
    zcat "$page" | grep -q '^\.SH NAME' || { echo "FAIL $page has no NAME section"; ((failures++)); }
done

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "desktop entry, metainfo and ${#pages[@]} manual pages pass"

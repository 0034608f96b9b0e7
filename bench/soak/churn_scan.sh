#!/usr/bin/env bash
# Scans a folder while another process keeps creating, replacing and removing files and folders
# in it, then checks that every catalog is consistent in itself: it loads, and each
# directory's size is the sum of its children's (what changed during the scan may or may not
# be in it, but never half).
# usage: bench/soak/churn_scan.sh BUILD_DIR [WORK_DIR] [SCANS]
set -euo pipefail
build="$1"; work="${2:-/tmp/vellumark-churn}"; scans="${3:-5}"
cli="$build/app/vellumark-cli"
rm -rf "$work"; mkdir -p "$work/tree"
cp -r /usr/share/doc "$work/tree/doc"
(
  for i in $(seq 1 20000); do
    f="$work/tree/doc/x$((i % 50))"
    echo "$i" > "$f.tmp"; mv "$f.tmp" "$f"
    rm -f "$work/tree/doc/x$(((i + 25) % 50))"
    mkdir -p "$work/tree/d$((i % 7))"; rmdir "$work/tree/d$(((i + 3) % 7))" 2>/dev/null || true
  done
) & churn=$!
for k in $(seq 1 "$scans"); do
  "$cli" --home "$work/home" scan "$work/tree" --name "churn$k" --force > /dev/null
done
kill "$churn" 2>/dev/null || true
wait "$churn" 2>/dev/null || true
for k in $(seq 1 "$scans"); do
  "$cli" --home "$work/home" show "churn$k.xml" > "$work/churn$k.tsv"
  python3 - "$work/churn$k.tsv" <<'PY'
import sys
rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[1], encoding="latin-1")][1:]
size = {r[1]: int(r[2]) for r in rows}
children = {}
for r in rows[1:]:
    children.setdefault(r[1].rsplit("/", 1)[0], []).append(int(r[2]))
bad = [p for p, s in size.items() if p in children and sum(children[p]) != s]
bad += [r[1] for r in rows if r[5] == "directory" and r[1] not in children and int(r[2]) != 0]
print(f"{sys.argv[1]}: {len(rows)} entries, directories whose size is not the sum of their children: {len(bad)}")
PY
done

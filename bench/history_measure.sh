#!/usr/bin/env bash
# Measures update and compare against the commands they must keep pace with, side by side in
# one hyperfine run each. Needs a Release build (build-rel, or BUILD=...) and the data sets:
#   python3 ../shared/bench/gen_tree.py /tmp/tree200k 200000
#   python3 ../shared/bench/gen_catalog.py /tmp/cat1m.xml 1000000
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD:-$top/build-rel}"
cli="$build/app/vellumark-cli"
home="$(mktemp -d /tmp/vellumark-history-XXXXXX)"
trap 'rm -rf "$home"' EXIT
runs="${RUNS:-5}"

echo "== update of the tree200k catalog with nothing changed, against scan of that tree"
"$cli" --home "$home" scan /tmp/tree200k --name Tree > /dev/null
hyperfine -N -w 1 -r "$runs" \
  "$cli --home $home scan /tmp/tree200k --name Scan --force" \
  "$cli --home $home update Tree.xml"

echo "== compare of cat1m.xml with a copy in which every 100th file's FileSize differs, against show of both"
changed="$home/cat1m-changed.xml"
python3 - /tmp/cat1m.xml "$changed" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="utf-8").read()
seen = 0
def bump(match):
    global seen
    element = match.group(0)
    if 'FileType="file"' not in element:
        return element
    seen += 1
    if seen % 100:
        return element
    return re.sub(r'FileSize="(\d+)"', lambda size: 'FileSize="%d"' % (int(size.group(1)) + 1), element, count=1)
open(sys.argv[2], "w", encoding="utf-8").write(re.sub(r"<file [^>]*>", bump, text))
print("files:", seen, "changed:", seen // 100)
PY
hyperfine -w 1 -r "$runs" \
  "$cli --home $home show /tmp/cat1m.xml > /dev/null; $cli --home $home show $changed > /dev/null" \
  "$cli --home $home compare /tmp/cat1m.xml $changed > /dev/null 2>&1"
/usr/bin/time -f "compare peak %M KB" -o "$home/peak" "$cli" --home "$home" compare /tmp/cat1m.xml "$changed" > /dev/null 2>&1
cat "$home/peak"

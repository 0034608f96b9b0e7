#!/usr/bin/env bash
# Measures update and compare against the commands they must keep pace with, side by side in
# one hyperfine run each, and duplicates against the streaming search of the same scope. Needs
# a Release build (build-rel, or BUILD=...) and the data sets:
#   python3 bench/data/gen_tree.py /tmp/tree200k 200000
#   python3 bench/data/gen_catalog.py /tmp/cat1m.xml 1000000
#   bench/data/make_library.sh /tmp/lib20 1 20     (LIBRARY_HOME=... for another library)
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

echo "== duplicates over the 20 x 100,000 library without the index, against search --no-index of the same scope"
library_home="${LIBRARY_HOME:-/tmp/lib20}"
echo "catalogs' bytes: $(du -sb "$library_home/CatalogLibrary/Group" | cut -f1)"
hyperfine -w 1 -r "$runs" \
  "$cli --home $library_home search --scope Group --name rock --no-index > /dev/null" \
  "$cli --home $library_home duplicates --scope Group --no-index > /dev/null" \
  "$cli --home $library_home duplicates --scope Group --by name --no-index > /dev/null"
for by in name-size size name; do
  /usr/bin/time -f "duplicates --by $by: peak %M KB, %e s" \
    "$cli" --home "$library_home" duplicates --scope Group --by "$by" --no-index 2>&1 > "$home/groups-$by" | tail -1
  echo "  $(tail -n +2 "$home/groups-$by" | cut -f1 | uniq | wc -l) groups, $(($(wc -l < "$home/groups-$by") - 1)) copies"
done

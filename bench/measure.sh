#!/usr/bin/env bash
# Measures the project's whole-command figures against their reference commands in one run.
# Needs a Release build with benchmarks (build-rel) and the standard data sets:
#   python3 bench/data/gen_tree.py /tmp/tree200k 200000
#   python3 bench/data/gen_catalog.py /tmp/cat1m.xml 1000000
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD:-$top/build-rel}"
cli="$build/app/vellumark-cli"
tool="$build/bench/catalog_tool"
home="$(mktemp -d /tmp/vellumark-measure-XXXXXX)"
trap 'rm -rf "$home"' EXIT
runs="${RUNS:-5}"

echo "== scan of /tmp/tree200k, whole command with save, against find"
hyperfine -N -w 1 -r "$runs" \
  "find /tmp/tree200k -printf '%s %T@ %y %p\n'" \
  "$cli --home $home scan /tmp/tree200k --name Tree --force"

echo "== load of /tmp/cat1m.xml into a tree, against the XML component's load and attribute walk"
hyperfine -N -w 1 -r "$runs" "$tool pugixml /tmp/cat1m.xml" "$tool load /tmp/cat1m.xml"
/usr/bin/time -f "load peak %M KB" "$tool" load /tmp/cat1m.xml > /dev/null
/usr/bin/time -f "component load peak %M KB" "$tool" pugixml /tmp/cat1m.xml > /dev/null

echo "== search of /tmp/cat1m.xml for rock, against grep -ci"
cp /tmp/cat1m.xml "$home/CatalogLibrary/Big.xml" 2>/dev/null || { "$cli" --home "$home" library > /dev/null; cp /tmp/cat1m.xml "$home/CatalogLibrary/Big.xml"; }
hyperfine -w 1 -r "$runs" "grep -ci rock /tmp/cat1m.xml" \
  "$cli --home $home search --scope Big.xml --name rock > /dev/null"
/usr/bin/time -f "search peak %M KB" "$cli" --home "$home" search --scope Big.xml --name rock > /dev/null

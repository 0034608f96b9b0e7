#!/usr/bin/env bash
# Scans a folder with vellumark-cli and checks the catalog against find: directories, entries
# that are no directory (regular files, symbolic links, sockets, ...), the sum of their apparent
# sizes (lstat: a link counts the length of its target, as the scan records it). Then loads,
# searches and exports the catalog, printing time and peak memory of each step.
# usage: bench/soak/scan_check.sh BUILD_DIR FOLDER [WORK_DIR]
set -euo pipefail
build="$1"; folder="$(cd "$2" && pwd)"; work="${3:-/tmp/vellumark-soak}"
cli="$build/app/vellumark-cli"
home="$work/home"; out="$work/out"
mkdir -p "$home" "$out"
name="soak-$(basename "$folder")"
catalog="$home/CatalogLibrary/$name.xml"

# Runs a step and prints its wall time and peak resident memory.
measure() {
  local label="$1"; shift
  local status=0
  /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" || status=$?
  read -r seconds kb < <(tail -n 1 "$work/time.txt")
  printf '%-34s %8.2f s %8d MB\n' "$label" "$seconds" $((kb / 1024))
  return $status
}

measure "scan + save" sh -c "'$cli' --home '$home' scan '$folder' --name '$name' --force > /dev/null"
measure "find (reference walk)" sh -c "find '$folder' -xdev -printf '%y %s\n' > '$work/find.txt'"
measure "show (load)" sh -c "'$cli' --home '$home' show '$catalog' > '$work/show.txt'"

# The record table: header, then one line per entry; fields 3 FileSize, 5 FileExt, 6 FileType.
python3 - "$work/find.txt" "$work/show.txt" <<'PY'
import sys
dirs = others = size = 0
kinds = {}
for line in open(sys.argv[1], encoding="latin-1"):
    kind, bytes_ = line.split()
    kinds[kind] = kinds.get(kind, 0) + 1
    if kind == "d":
        dirs += 1
    else:
        others += 1
        size += int(bytes_)
cat_dirs = cat_files = cat_size = 0
root_size = None
with open(sys.argv[2], encoding="latin-1") as table:
    next(table)
    for line in table:
        fields = line.rstrip("\n").split("\t")
        if fields[5] == "directory":
            cat_dirs += 1
            if root_size is None:
                root_size = int(fields[2])
        else:
            cat_files += 1
            cat_size += int(fields[2])
print(f"find kinds: {kinds}")
print(f"{'':12}{'find':>16}{'catalog':>16}{'diff':>10}")
for label, a, b in (("directories", dirs, cat_dirs), ("non-dirs", others, cat_files),
                    ("bytes", size, cat_size), ("root size", size, root_size)):
    print(f"{label:12}{a:16d}{b:16d}{b - a:10d}")
PY

lines=$(wc -l < "$work/show.txt")
echo "show lines: $lines (entries + header)"
measure "search --ext so" sh -c "'$cli' --home '$home' search --scope '$name.xml' --ext so > '$work/search.txt'"
expected=$(awk -F'\t' 'NR > 1 && tolower($5) ~ /so/' "$work/show.txt" | wc -l)
echo "search results: $(( $(wc -l < "$work/search.txt") - 1 )), entries whose FileExt holds so: $expected"
for format in html text csv xml xlsx; do
  measure "export $format" sh -c "'$cli' --home '$home' export '$catalog' --format $format --out '$out/$name.$format' --force > /dev/null" || echo "export $format failed"
done
ls -l "$out" | awk 'NR > 1 {print "  " $5 "\t" $9}'
# Each export holds every entry: rows of the CSV (read as CSV), rows of the HTML table and of
# the workbook (title and header rows besides), entries of the XML file read back.
python3 - "$out/$name" "$(( lines - 1 ))" <<'PY'
import csv, re, sys, zipfile
base, entries = sys.argv[1], int(sys.argv[2])
with open(base + ".csv", newline="", encoding="latin-1") as f:
    rows = sum(1 for _ in csv.reader(f)) - 1
html = open(base + ".html", encoding="latin-1").read().count("<tr>") - 1
try:
    with zipfile.ZipFile(base + ".xlsx") as book:
        sheet = book.read("xl/worksheets/sheet1.xml").decode()
    xlsx = len(re.findall(r"<row ", sheet)) - 2
except FileNotFoundError:
    xlsx = "none (no workbook written)"
print(f"entries {entries}: csv rows {rows}, html rows {html}, xlsx rows {xlsx}")
PY
"$cli" --home "$home" show "$out/$name.xml" | wc -l | xargs echo "xml export, show lines:"

#!/usr/bin/env bash
# A library of 10,000 catalogs in 500 groups: loads it and searches it several times over,
# printing time and peak memory of every run, so that growth from run to run shows. Catalogs are
# named as in every benchmark library, DiscN.xml with disk name DiscN, here spread over 500 groups.
# usage: bench/soak/library_soak.sh BUILD_DIR [WORK_DIR] [RUNS]
set -euo pipefail
build="$1"; work="${2:-/tmp/vellumark-library-soak}"; runs="${3:-5}"
cli="$build/app/vellumark-cli"
home="$work/home"
if [ ! -d "$home/CatalogLibrary/G0499" ]; then
  mkdir -p "$home/CatalogLibrary"
  python3 - "$home/CatalogLibrary" <<'PY'
import os, sys
root = sys.argv[1]
rock = ' Description="rock"'
head = '<?xml version="1.0" encoding="utf-8" standalone="yes" ?><fileinfo generated="Vellumark">'
for g in range(500):
    group = os.path.join(root, f"G{g:04d}")
    os.makedirs(group, exist_ok=True)
    for c in range(20):
        n = g * 20 + c
        entries = "".join(
            f'<file FileName="track {n}-{i}.mp3" FullPath="/media/D{n}/track {n}-{i}.mp3" FileSize="{1000 + i}" '
            f'FileExt="mp3" FileType="file"{rock if i == 0 else ""} DiskName="Disc{n}"/>' for i in range(20))
        body = (f'<file FileName="/media/D{n}/" FullPath="/media/D{n}/" FileSize="20190" FileType="directory" '
                f'DiskName="Disc{n}">{entries}</file>')
        with open(os.path.join(group, f"Disc{n}.xml"), "w") as f:
            f.write(head + body + "</fileinfo>")
PY
fi
measure() {
  local label="$1"; shift
  /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@"
  read -r seconds kb < "$work/time.txt"
  printf '%-30s %8.2f s %8d MB\n' "$label" "$seconds" $((kb / 1024))
}
for run in $(seq 1 "$runs"); do
  measure "library, run $run" sh -c "'$cli' --home '$home' library > '$work/library.txt'"
  measure "search --desc rock, run $run" sh -c "'$cli' --home '$home' search --desc rock > '$work/search.txt'"
  measure "search --name 7-1, run $run" sh -c "'$cli' --home '$home' search --name 7-1 > '$work/search2.txt'"
done
echo "library lines: $(wc -l < "$work/library.txt") (header + root + 500 groups + 10000 catalogs = 10502)"
echo "search --desc rock results: $(( $(wc -l < "$work/search.txt") - 1 )) (expected 10000)"
expected=$(python3 -c "print(sum(1 for n in range(10000) for i in range(20) if '7-1' in f'track {n}-{i}.mp3'))")
echo "search --name 7-1 results: $(( $(wc -l < "$work/search2.txt") - 1 )) (expected $expected)"

#!/usr/bin/env bash
# Measures the search index as whole commands against the commands it must beat, side by side in
# one hyperfine run each (output to /dev/null). Needs a build with benchmarks (build-rel, or
# BUILD=...) and the data:
#   bench/data/make_library.sh /tmp/lib100 1 100     (LIBRARY_HOME=... for another library)
#   python3 bench/data/gen_tree.py /tmp/tree200k 200000
# The index goes to a scratch XDG_CACHE_HOME that is removed at the end.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD:-$top/build-rel}"
cli="$build/app/vellumark-cli"
home="${LIBRARY_HOME:-/tmp/lib100}"
library="$home/CatalogLibrary"
runs="${RUNS:-5}"
scratch="$(mktemp -d /tmp/vellumark-index-measure-XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
export XDG_CACHE_HOME="$scratch/cache"
search="$cli --home $home search --scope ."
changed="Group/Disc50.xml"

echo "== library: $(ls "$library"/Group | wc -l) catalogs, $(du -sb "$library" | cut -f1) bytes"

echo "== building the index from nothing, against search --no-index for rock"
# Each run starts with the previous run's segments on the disk (sync): otherwise a run pays for
# writing back the one before it.
hyperfine -w 1 -r "$runs" --prepare "rm -rf $XDG_CACHE_HOME; sync" \
  "$search --name rock --no-index > /dev/null" \
  "$cli --home $home index > /dev/null"
"$cli" --home "$home" index --status

echo "== searches with a current index, against grep -rci of the same word over the library"
for word in rock Zeppelin ro; do
  echo "-- $word: $($search --name "$word" --count) results"
  hyperfine -w 1 -r "$runs" \
    "grep -rci $word $library > /dev/null" \
    "$search --name $word > /dev/null"
done

echo "== one catalog changed ($changed): bringing the index up to date, against search --no-index of it"
# A modification time a minute back counts as settled, so the catalog is indexed again at once;
# the change time makes each run's identity new. The next search of the library brings the index
# up to date as it answers (a rare word, so that the answer costs little); the index command
# also checks every segment's checksums.
hyperfine -w 1 -r "$runs" --prepare "touch -d '1 minute ago' $library/$changed" \
  "$cli --home $home search --scope $changed --name rock --no-index > /dev/null" \
  "$search --name Zeppelin > /dev/null" \
  "$cli --home $home index"

echo "== peak memory of an indexed search (RssAnon sampled every millisecond; VmHWM includes mapped index files)"
for word in rock ro; do
  python3 - "$word" $search --name "$word" <<'PY'
import subprocess, sys, time
word, command = sys.argv[1], sys.argv[2:]
child = subprocess.Popen(command, stdout=subprocess.DEVNULL)
peak_anon = peak_hwm = 0
def field(lines, name):
    for line in lines:
        if line.startswith(name):
            return int(line.split()[1])
    return 0
while child.poll() is None:
    try:
        with open(f"/proc/{child.pid}/status") as status:
            lines = status.readlines()
        peak_anon = max(peak_anon, field(lines, "RssAnon:"))
        peak_hwm = max(peak_hwm, field(lines, "VmHWM:"))
    except OSError:
        break
    time.sleep(0.001)
print(f"{word}: peak RssAnon {peak_anon / 1024:.1f} MB, VmHWM {peak_hwm / 1024:.1f} MB")
PY
done
/usr/bin/time -f "rock: max RSS %M KB (all resident pages, mapped files included)" $search --name rock > /dev/null

if [ -d /tmp/tree200k ] && command -v updatedb.plocate > /dev/null; then
  echo "== the tree200k catalog against plocate -b -i on a database of the same tree"
  tree_home="$scratch/tree"
  "$cli" --home "$tree_home" scan /tmp/tree200k --name Tree > /dev/null
  "$cli" --home "$tree_home" index > /dev/null
  updatedb.plocate -U /tmp/tree200k -o "$scratch/tree200k.db" --require-visibility no
  echo "plocate results: $(plocate -d "$scratch/tree200k.db" -b -i rock | wc -l)," \
       "ours: $("$cli" --home "$tree_home" search --scope Tree.xml --name rock --count)"
  hyperfine -N -w 1 -r "$runs" \
    "plocate -d $scratch/tree200k.db -b -i rock" \
    "$cli --home $tree_home search --scope Tree.xml --name rock"
fi

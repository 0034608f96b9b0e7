#!/usr/bin/env bash
# Writes a library of benchmark catalogs in the one form every library benchmark uses:
# HOME/CatalogLibrary/Group/DiscN.xml, made with seed N and disk name DiscN, for N = FIRST..LAST.
# HOME then serves as the program home (vellumark-cli --home, bench_gui_dialogs), and
# HOME/CatalogLibrary/Group as the folder bench_search_bench searches.
# usage: bench/data/make_library.sh HOME FIRST LAST [ENTRIES]    (ENTRIES per catalog: 100000)
# JOBS catalogs (default: one per core) are written at the same time.
set -euo pipefail
if [ $# -lt 3 ] || [ $# -gt 4 ]; then
  sed -n '2,7p' "$0" >&2
  exit 2
fi
home="$1"; first="$2"; last="$3"; entries="${4:-100000}"
for number in "$first" "$last" "$entries"; do
  [[ "$number" =~ ^[0-9]+$ ]] || { echo "not a number: $number" >&2; exit 2; }
done
[ "$first" -le "$last" ] || { echo "FIRST ($first) is after LAST ($last)" >&2; exit 2; }
jobs="${JOBS:-$(nproc)}"
generator="$(cd "$(dirname "$0")" && pwd)/gen_catalog.py"
group="$home/CatalogLibrary/Group"
mkdir -p "$group"

# Each catalog is written under a temporary name and renamed once complete, so that an
# interrupted run leaves no truncated catalog in the library. A generator's messages are shown
# only when it fails.
export generator group entries
seq "$first" "$last" | xargs -P "$jobs" -I{} bash -c '
  n="$1"
  if ! messages="$(python3 "$generator" "$group/Disc$n.xml.part" "$entries" --seed "$n" \
                     --disk "Disc$n" 2>&1 > /dev/null)"; then
    echo "Disc$n: $messages" >&2
    rm -f "$group/Disc$n.xml.part"
    exit 1
  fi
  mv "$group/Disc$n.xml.part" "$group/Disc$n.xml"' make_library {}
echo "$((last - first + 1)) catalogs of $entries entries in $group"

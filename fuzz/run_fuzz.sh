#!/usr/bin/env bash
# Runs the fuzz targets one after another (one job each: the machine is shared), each from a
# working copy of its seed corpus under WORK, and keeps the log and any failing input there.
# usage: fuzz/run_fuzz.sh BUILD_DIR SECONDS [TARGET...]
set -uo pipefail
build="$1"; seconds="$2"; shift 2
source_dir="$(cd "$(dirname "$0")" && pwd)"
work="${WORK:-/tmp/vellumark-fuzz}"
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(catalog_load catalog_search config_read name_rules index_segment)
mkdir -p "$work" && cd "$work" || exit 1
for target in "${targets[@]}"; do
  mkdir -p "$work/corpus/$target" "$work/artifacts/$target"
  cp -n "$source_dir/corpus/$target/"* "$work/corpus/$target/" 2>/dev/null
  dict=""
  case "$target" in
    catalog_load|catalog_search) dict="-dict=$source_dir/dict/catalog.dict" ;;
    config_read) dict="-dict=$source_dir/dict/config.dict" ;;
    name_rules) dict="-dict=$source_dir/dict/names.dict" ;;
  esac
  "$build/fuzz/fuzz_$target" $dict -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$work/artifacts/$target/" \
      "$work/corpus/$target" > "$work/$target.log" 2>&1
  echo "$target: exit $? $(grep -E '^stat::number_of_executed_units' "$work/$target.log")" >> "$work/summary.txt"
done

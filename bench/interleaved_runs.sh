#!/usr/bin/env bash
# Runs whole commands in turn, one run of each per round, so that a drift in the machine's speed
# falls on all of them alike; each run starts after removing $CACHE (the index cache, when given)
# and a sync. Prints each command's median, mean, least and most wall time, and for every command
# after the first its ratio to the first in the same round (median, least, most).
#   CACHE=/tmp/xdgc bench/interleaved_runs.sh 5 \
#     "build/app/vellumark-cli --home /tmp/lib100 search --scope . --name rock --no-index" \
#     "XDG_CACHE_HOME=/tmp/xdgc build/app/vellumark-cli --home /tmp/lib100 index"
set -euo pipefail
rounds="$1"
shift
for _ in $(seq "$rounds"); do
  for command in "$@"; do
    [ -n "${CACHE:-}" ] && rm -rf "$CACHE"
    sync
    start=$(date +%s.%N)
    eval "$command" > /dev/null
    end=$(date +%s.%N)
    printf '%s|%s\n' "$command" "$(echo "$end - $start" | bc)"
  done
done | python3 -c '
import collections, statistics, sys
times = collections.OrderedDict()
for line in sys.stdin:
    command, seconds = line.rstrip("\n").rsplit("|", 1)
    times.setdefault(command, []).append(float(seconds))
first = next(iter(times.values()))
for command, runs in times.items():
    print(command)
    print("  median %.3f s  mean %.3f s  least %.3f s  most %.3f s  (%d runs)"
          % (statistics.median(runs), statistics.mean(runs), min(runs), max(runs), len(runs)))
    if runs is not first:
        # Each round against the first command of the same round: a drift between rounds
        # falls on both.
        ratios = [ours / theirs for ours, theirs in zip(runs, first)]
        print("  against the first command, round by round: median %.2f  least %.2f  most %.2f"
              % (statistics.median(ratios), min(ratios), max(ratios)))
'

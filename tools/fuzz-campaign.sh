#!/usr/bin/env bash
# Runs every fuzz target for FUZZ_SECONDS (default 600) under ASan/UBSan and merges what
# it found into the committed corpus (tests/fuzz/corpus/<target>/). Not part of the test run,
# which runs each target for a few seconds only.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-600}

tools/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '| target | seconds | executions | corpus before | corpus after | crashes |\n|---|---|---|---|---|---|\n'
for binary in build/fuzz/bin/fuzz_*; do
  [[ -x "$binary" ]] || continue
  name=$(basename "$binary")
  corpus=tests/fuzz/corpus/$name
  mkdir -p "$corpus" "$work/$name"
  before=$(find "$corpus" -type f | wc -l)
  crashes=0
  "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/$name-" "$work/$name" "$corpus" >"$work/$name.log" 2>&1 || crashes=1
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$name.log" | grep -o '[0-9]*$' || echo '?')
  "$binary" -merge=1 "$corpus" "$work/$name" >/dev/null 2>&1
  after=$(find "$corpus" -type f | wc -l)
  printf '| %s | %s | %s | %s | %s | %s |\n' "$name" "$seconds" "$runs" "$before" "$after" "$crashes"
  if ((crashes)); then
    echo "crash in $name:" >&2
    tail -40 "$work/$name.log" >&2
    cp "$work/$name"-* . 2>/dev/null || true
  fi
done

#!/usr/bin/env bash
# Runs the fuzz targets one after the other for a bounded time each, seeded from the checked-in
# corpora and from the examples: reduzmodel's free-form reader and reduzfit's four readers for
# READER_SECONDS each, then whole runs of reduzmodel for RUN_SECONDS.
#
#   fuzz/run-fuzzers.sh BUILD_DIR READER_SECONDS RUN_SECONDS [WORK_DIR]
#
# BUILD_DIR is a build configured with clang and -DREDUZ_FUZZ=ON. New inputs that the fuzzers
# find, and the input of any failure (crash-*, leak-*, timeout-*), go to WORK_DIR (a fresh
# temporary directory when none is given, kept after the run). Exits non-zero on a finding.
set -euo pipefail

if [ $# -lt 3 ]; then
  sed -n '2,10p' "$0" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
reader_seconds=$2
run_seconds=$3
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=${4:-$(mktemp -d "${TMPDIR:-/tmp}/reduz-fuzz-work-XXXXXX")}
fit_readers=(read_interval_logs read_ascii_grid read_measured_curves read_proportions)
mkdir -p "$work/read_free_form" "$work/run_program" "$work/from_examples/read_free_form" \
  "$work/from_examples/run_program"
for reader in "${fit_readers[@]}"; do mkdir -p "$work/$reader"; done
work=$(cd "$work" && pwd)

# The examples as seeds: each parameter file and keyboard answer for the reader; for a whole
# run a set-up byte 0, the parameter file, and a NUL and the keyboard answer when there is one.
for example in "$source_dir"/examples/*/; do
  [ -f "$example/PARAMETER.TXT" ] || continue
  name=$(basename "$example")
  cp "$example/PARAMETER.TXT" "$work/from_examples/read_free_form/$name"
  {
    printf '\0'
    cat "$example/PARAMETER.TXT"
    if [ -f "$example/keyboard.txt" ]; then
      printf '\0'
      cat "$example/keyboard.txt"
      cp "$example/keyboard.txt" "$work/from_examples/read_free_form/$name-keyboard"
    fi
  } > "$work/from_examples/run_program/$name"
done

common=(-timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "-artifact_prefix=$work/")

# Each fuzzer's output goes to its log; its last lines are shown when it fails.
fuzz() {
  local name=$1 seconds=$2
  shift 2
  echo "== $name for $seconds s (log and new inputs: $work)"
  if ! "$build/fuzz/$name" "${common[@]}" "-max_total_time=$seconds" "$@" > "$work/$name.log" 2>&1; then
    tail -n 80 "$work/$name.log"
    echo "== $name found a failure; its input is in $work" >&2
    exit 1
  fi
  grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb))' "$work/$name.log"
}

fuzz read_free_form_fuzzer "$reader_seconds" \
  "$work/read_free_form" "$source_dir/fuzz/corpus/read_free_form" "$work/from_examples/read_free_form"
# reduzfit's readers take a file whole, and a few kilobytes reach every rule they have; a longer
# input would only measure how much memory a large file needs.
for reader in "${fit_readers[@]}"; do
  fuzz "${reader}_fuzzer" "$reader_seconds" -max_len=4096 "$work/$reader" "$source_dir/fuzz/corpus/$reader"
done
fuzz run_program_fuzzer "$run_seconds" \
  "$work/run_program" "$source_dir/fuzz/corpus/run_program" "$work/from_examples/run_program"
echo "== every fuzzer ran without a finding"

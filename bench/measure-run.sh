#!/usr/bin/env bash
# One whole run as a user waits for it: cross model 11 with maxLag 1000 (the gamma-based shape,
# the largest table), its prompt answered from a file, against /bin/true.
#
#   bench/measure-run.sh BUILD_DIR [RUNS] [DIRECTORY]
#
# Prints the instructions of one run (valgrind's callgrind), split into start-up (everything
# before main), the lag computation (computeLagTable), the report (writeReport) and the rest,
# then the wall time of RUNS process starts of each program, taken in turns (spawn_timer from
# BUILD_DIR/bench), and hyperfine's view when it is installed. The runs happen in DIRECTORY
# (default: a fresh directory under /dev/shm, a file system in memory; give a directory on disk
# to include what the disk's file system costs). REDUZMODEL=path measures another binary.
set -euo pipefail

if [ $# -lt 1 ]; then
  sed -n '2,13p' "$0" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
runs=${2:-2000}
binary=${REDUZMODEL:-$build/reduzmodel}
timer=$build/bench/spawn_timer
if [ $# -ge 3 ]; then
  mkdir -p "$3"
  directory=$(cd "$3" && pwd)
else
  base=/dev/shm
  [ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
  directory=$(mktemp -d "$base/reduz-measure-XXXXXX")
  trap 'rm -rf "$directory"' EXIT
fi
cd "$directory"
printf '11 2\n0.25 25\n1000\n' > PARAMETER.TXT
printf '2 1 1\n' > keyboard.txt
"$binary" < keyboard.txt > /dev/null  # the report exists from here on, as after a first run

linkage=unknown
if command -v file > /dev/null; then
  linkage=$(file -b "$binary" | grep -oE '(static-pie|statically|dynamically) linked' || echo unknown)
fi
echo "binary:    $binary ($linkage)"
echo "directory: $directory ($(stat -f -c %T .))"

if command -v valgrind > /dev/null && command -v callgrind_annotate > /dev/null; then
  out=$(mktemp)
  valgrind --tool=callgrind --callgrind-out-file="$out" "$binary" < keyboard.txt > /dev/null 2> "$out.log"
  inclusive() { callgrind_annotate --inclusive=yes "$out" 2> /dev/null | grep -E "$1" | head -1 | awk '{print $1}' | tr -d ,; }
  total=$(grep -oE 'refs: *[0-9,]+' "$out.log" | tr -dc 0-9)
  main=$(inclusive '[:]main ')
  lag=$(inclusive 'computeLagTable')
  report=$(inclusive 'writeReport')
  valgrind --tool=callgrind --callgrind-out-file="$out.true" /bin/true 2> "$out.true.log"
  true_total=$(grep -oE 'refs: *[0-9,]+' "$out.true.log" | tr -dc 0-9)
  printf 'instructions: total %s = start-up %s + lag computation %s + report %s + the rest %s; /bin/true %s\n' \
    "$total" "$((total - main))" "$lag" "$report" "$((main - lag - report))" "$true_total"
  rm -f "$out" "$out.log" "$out.true" "$out.true.log"
else
  echo "instructions: valgrind is not installed"
fi

"$timer" "$runs" keyboard.txt "$binary" /bin/true

if command -v hyperfine > /dev/null; then
  # Through a shell, for the keyboard redirection; hyperfine takes the shell's own start off.
  hyperfine --warmup 50 --runs "$runs" --style basic "'$binary' < keyboard.txt > /dev/null" \
    '/bin/true < keyboard.txt > /dev/null' 2>&1 | grep -vE '^\s*$|Warning|inaccurate|calibrate|--shell=none'
fi

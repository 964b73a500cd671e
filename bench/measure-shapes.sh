#!/usr/bin/env bash
# Instructions (valgrind's callgrind) of the lag computation of each of the twenty shapes, in a
# whole run at maxLag 1000 with a first run's parameters (sill 0.25, range 25, every prompt
# answered with its defaults), and of the lightest run (auto model 5, maxLag -1) as a whole.
#
#   bench/measure-shapes.sh BUILD_DIR
#
# REDUZMODEL=path measures another binary.
set -euo pipefail

if [ $# -lt 1 ]; then
  sed -n '2,9p' "$0" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
binary=${REDUZMODEL:-$build/reduzmodel}
directory=$(mktemp -d "${TMPDIR:-/tmp}/reduz-shapes-XXXXXX")
trap 'rm -rf "$directory"' EXIT
cd "$directory"
printf '/\n' > keyboard.txt

# Sets total (the whole process) and lag (computeLagTable, inclusive; empty when not called).
measure() {
  valgrind --tool=callgrind --callgrind-out-file=callgrind.out "$binary" < keyboard.txt > /dev/null 2> callgrind.log
  total=$(grep -oE 'refs: *[0-9,]+' callgrind.log | tr -dc 0-9)
  lag=$(callgrind_annotate --inclusive=yes callgrind.out 2> /dev/null | grep -E 'computeLagTable' | head -1 |
    awk '{print $1}' | tr -d , || true)
}

for shape in 1:8 2:12; do
  kind=${shape%:*}
  for model in $(seq 1 "${shape#*:}"); do
    printf '%s %s\n0.25 25\n1000\n' "$model" "$kind" > PARAMETER.TXT
    measure
    printf 'kind %s model %2s: lag computation %9s, whole run %9s\n' "$kind" "$model" "$lag" "$total"
  done
done
printf '5 1\n0.25 25\n-1\n' > PARAMETER.TXT
measure
printf 'lightest run (auto model 5, maxLag -1): %s\n' "$total"

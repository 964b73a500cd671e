#!/bin/sh
# Simulates the example raster as the README does, and keeps the picture the README shows:
#   doc/simulate-realizations.png   the data, four realizations and the most probable map
#
#   scripts/simulate-example.sh [BUILD-DIRECTORY]      (default: build)
#
# Needs gnuplot (Debian: apt-get install gnuplot-nox); the runs' folders are made in a
# temporary directory and removed.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root"/examples/raster/landcover.tif* "$root/examples/raster/samples.csv" "$work/"
cd "$work"
"$build/reduzfit" landcover.tif --step 30 --lags 10 --family markov -o fitted >/dev/null
"$build/reduzfit" simulate --model fitted --size 200,200 --cell 30 --origin 500000,4100000 --condition samples.csv \
  --realizations 20 -o free >/dev/null
mv free/realizations.png "$root/doc/simulate-realizations.png"
echo "simulate-example: wrote doc/simulate-realizations.png"

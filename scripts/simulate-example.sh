#!/bin/sh
# Simulates the example raster and the example logs' block as the README does, and keeps the
# pictures the README shows:
#   doc/simulate-realizations.png   the data, four realizations and the most probable map
#   doc/simulate-block.png          the same of the block's section through its middle row
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
cp "$root"/examples/raster/landcover.tif* "$root/examples/raster/samples.csv" "$root/examples/logs/boreholes.csv" \
  "$root/examples/logs/collars.csv" "$work/"
cd "$work"
"$build/reduzfit" landcover.tif --step 30 --lags 10 --family markov -o fitted >/dev/null
"$build/reduzfit" simulate --model fitted --size 200,200 --cell 30 --origin 500000,4100000 --condition samples.csv \
  --realizations 20 -o free >/dev/null
mv free/realizations.png "$root/doc/simulate-realizations.png"
"$build/reduzfit" boreholes.csv --step 0.5 --lags 20 --family markov -o vertical >/dev/null
"$build/reduzfit" simulate --model z=vertical --lateral-ratio 20 --size 60,60,40 --cell 10,10,0.5 \
  --condition boreholes.csv --collars collars.csv --realizations 20 -o block >/dev/null
mv block/realizations.png "$root/doc/simulate-block.png"
echo "simulate-example: wrote doc/simulate-realizations.png and doc/simulate-block.png"

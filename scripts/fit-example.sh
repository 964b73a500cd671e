#!/bin/sh
# Fits the example logs as the README does, and keeps what the run writes:
#   examples/logs/fitted/          the fit, all but its picture
#   examples/logs/fit-console.txt  the standard output
#   doc/fit-panel.png              the picture, which the README shows
#
#   scripts/fit-example.sh [BUILD-DIRECTORY]      (default: build)
#
# Draws the picture only where gnuplot is installed (Debian: apt-get install gnuplot-nox).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cd "$root/examples/logs"
status=0
"$build/reduzfit" boreholes.csv --step 0.5 --lags 20 -o fitted >fit-console.txt || status=$?
# 3: written, but a pair not fitted, which the console and fits.csv tell.
[ "$status" -eq 0 ] || [ "$status" -eq 3 ] || exit "$status"
if [ -f fitted/panel.png ]; then
  mv fitted/panel.png "$root/doc/fit-panel.png"
  echo "fit-example: wrote examples/logs/fitted, examples/logs/fit-console.txt and doc/fit-panel.png"
else
  echo "fit-example: wrote examples/logs/fitted and examples/logs/fit-console.txt (no gnuplot: no picture)"
fi

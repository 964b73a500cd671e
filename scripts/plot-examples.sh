#!/bin/sh
# Draws the examples' reports, as the program wrote them, on two charts:
#   doc/auto-shapes.png   the eight auto-transiogram shapes (examples/auto-*)
#   doc/cross-shapes.png  the twelve cross-transiogram shapes (examples/cross-*)
#
#   scripts/plot-examples.sh [OUTPUT-DIRECTORY]
#
# Needs gnuplot (Debian: apt-get install gnuplot-nox). Run scripts/regenerate-examples.sh
# first when the examples' reports are not up to date.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/doc}
mkdir -p "$out"
command -v gnuplot >/dev/null || { echo "plot-examples: gnuplot is not installed" >&2; exit 2; }

# The reports of one kind, in the order of their model numbers.
reports() {
  for dir in "$root"/examples/"$1"-*/; do
    dir=${dir%/}
    [ -f "$dir/ReduzModel.txt" ] && printf '%s\n' "$dir/ReduzModel.txt"
  done | sed "s|^\(.*/$1-\)\([0-9]*\)\(-.*\)$|\2 \1\2\3|" | sort -n | cut -d' ' -f2- | tr '\n' ' '
}

cd "$root"
gnuplot -e "report='$(reports auto)'; output='$out/auto-shapes.png'; width=820; height=620" \
  -e "heading='Auto-transiogram shapes (sill 0.25, range 25)'" plot/reduzmodel.gp
gnuplot -e "report='$(reports cross)'; output='$out/cross-shapes.png'; width=820; height=620" \
  -e "heading='Cross-transiogram shapes (sill 0.25, range 25)'" plot/reduzmodel.gp
echo "plot-examples: wrote $out/auto-shapes.png and $out/cross-shapes.png"

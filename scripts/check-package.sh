#!/bin/sh
# Makes the Debian package from a build and checks it as a user would meet it: the files it
# holds, its program run on its own example, and lintian.
#
#   scripts/check-package.sh [BUILD-DIRECTORY]
#
# The default build is build/, already built. Needs dpkg-deb and lintian (Debian: lintian).
# Fails on any lintian error, and on a lintian warning that the README's install section does
# not explain (the list below).
set -eu

# The warnings the README's install section explains.
explained='shared-library-lacks-prerequisites'

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
command -v lintian >/dev/null || { echo "check-package: lintian is not installed" >&2; exit 2; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/reduz-package-XXXXXX")
trap 'rm -rf "$scratch"' EXIT INT TERM

rm -f "$build"/reduzmodel_*.deb
(cd "$build" && cpack -G DEB >"$scratch/cpack.log" 2>&1) || { cat "$scratch/cpack.log" >&2; exit 1; }
set -- "$build"/reduzmodel_*.deb
package=$1
echo "check-package: $package"

dpkg-deb -x "$package" "$scratch/root"
doc=$scratch/root/usr/share/doc/reduzmodel
for file in usr/bin/reduzmodel usr/share/man/man1/reduzmodel.1.gz usr/share/reduzmodel/reduzmodel.gp \
  usr/bin/reduzfit usr/share/man/man1/reduzfit.1.gz \
  usr/share/doc/reduzmodel/copyright usr/share/doc/reduzmodel/changelog.gz \
  usr/share/doc/reduzmodel/README.md.gz usr/share/doc/reduzmodel/doc/auto-shapes.png \
  usr/share/doc/reduzmodel/examples/exponential/PARAMETER.TXT; do
  [ -f "$scratch/root/$file" ] || { echo "check-package: the package lacks /$file" >&2; exit 1; }
done

# The packaged program on the packaged example writes the report that the example records.
mkdir "$scratch/run"
cp "$doc/examples/exponential/PARAMETER.TXT" "$scratch/run/"
(cd "$scratch/run" && "$scratch/root/usr/bin/reduzmodel" </dev/null >console.txt)
cmp "$scratch/run/ReduzModel.txt" "$doc/examples/exponential/ReduzModel.txt"
cmp "$scratch/run/console.txt" "$doc/examples/exponential/console.txt"
# And the packaged reduzfit on the packaged logs.
(cd "$scratch/run" && "$scratch/root/usr/bin/reduzfit" measure "$doc/examples/logs/boreholes.csv" --step 0.5 --lags 20 \
  -o measured.csv >/dev/null)
cmp "$scratch/run/measured.csv" "$doc/examples/logs/measured.csv"
cmp "$scratch/run/classes.csv" "$doc/examples/logs/classes.csv"

# lintian warns when run as root; that line is not about the package.
lintian "$package" 2>&1 | grep -v '^running with root privileges' | tee "$scratch/lintian.txt" || true
if grep -q '^E:' "$scratch/lintian.txt"; then
  echo "check-package: lintian reports an error" >&2
  exit 1
fi
unexplained=$(grep '^W:' "$scratch/lintian.txt" | awk '{ print $3 }' | grep -v -x -F "$explained" || true)
if [ -n "$unexplained" ]; then
  echo "check-package: lintian warns of $(echo $unexplained): fix it, or explain it in the README's" \
    "install section and in this script's list" >&2
  exit 1
fi
echo "check-package: the package is complete, its example runs, lintian reports no error"

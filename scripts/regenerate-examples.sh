#!/bin/sh
# Regenerates the expected output of every example: runs the program in a fresh directory on
# the example's PARAMETER.TXT (and keyboard.txt, when the model asks for extra parameters) and
# stores what it wrote as ReduzModel.txt and console.txt beside them.
#
#   scripts/regenerate-examples.sh [PATH-TO-reduzmodel]
#
# The default program is build/reduzmodel. A run that writes to standard error or ends with a
# status other than 0 stops the script and changes nothing in that example.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/reduzmodel}
case $program in
  /*) ;;
  *) program=$(pwd)/$program ;;
esac
if [ ! -x "$program" ]; then
  echo "regenerate-examples: no program at $program (build it first)" >&2
  exit 2
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/reduz-examples-XXXXXX")
trap 'rm -rf "$scratch"' EXIT INT TERM

count=0
for example in "$root"/examples/*/; do
  example=${example%/}
  [ -f "$example/PARAMETER.TXT" ] || continue
  name=$(basename "$example")
  work=$scratch/$name
  mkdir "$work"
  cp "$example/PARAMETER.TXT" "$work/"
  keyboard=/dev/null
  [ -f "$example/keyboard.txt" ] && keyboard=$example/keyboard.txt
  status=0
  (cd "$work" && "$program" <"$keyboard" >console.out 2>console.err) || status=$?
  if [ "$status" -ne 0 ] || [ -s "$work/console.err" ]; then
    echo "regenerate-examples: $name: exit status $status" >&2
    cat "$work/console.err" >&2
    exit 1
  fi
  cp "$work/ReduzModel.txt" "$example/ReduzModel.txt"
  cp "$work/console.out" "$example/console.txt"
  count=$((count + 1))
done
echo "regenerate-examples: $count examples written"

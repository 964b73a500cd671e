#!/bin/sh
# Writes the Debian changelog of the package (usr/share/doc/PACKAGE/changelog) to OUTPUT, or to
# standard output when none is given, made from CHANGELOG.md: one entry for each released
# version, newest first, with its changes under their headings. The Unreleased section stays
# out: the package is the released version.
#
#   packaging/debian-changelog.sh CHANGELOG.md PACKAGE VERSION "Name <address>" [OUTPUT]
#
# Fails when the newest released version is not VERSION, the version the package is built as:
# a release renames Unreleased and raises the project's version together.
set -eu

if [ $# -lt 4 ] || [ $# -gt 5 ]; then
  sed -n '2,11p' "$0" >&2
  exit 2
fi
if [ $# -eq 5 ]; then
  # No half-written file is left behind to look up to date.
  trap 'rm -f "$5"' EXIT
  exec > "$5"
fi

awk -v package="$2" -v version="$3" -v maintainer="$4" '
function fail(message) { print "debian-changelog: " message > "/dev/stderr"; failed = 1; exit 1 }

# Debian wants the day of the week in the date; Sakamoto'"'"'s method gives it.
function rfc2822(date,    y, m, d, t, w) {
  y = substr(date, 1, 4) + 0; m = substr(date, 6, 2) + 0; d = substr(date, 9, 2) + 0
  split("0 3 2 5 0 3 5 1 4 6 2 4", t, " ")
  if (m < 3) y -= 1
  w = (y + int(y / 4) - int(y / 100) + int(y / 400) + t[m] + d) % 7
  if (m < 3) y += 1
  split("Sun Mon Tue Wed Thu Fri Sat", days, " ")
  split("Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec", months, " ")
  return sprintf("%s, %02d %s %04d 00:00:00 +0000", days[w + 1], d, months[m], y)
}

# An item as a "- " line under its heading, wrapped to stay within 78 columns.
function flushItem(    n, words, i, line) {
  if (item == "") return
  n = split(item, words, " ")
  line = "    - " words[1]
  for (i = 2; i <= n; i++) {
    if (length(line) + 1 + length(words[i]) > 78) {
      print line
      line = "      " words[i]
    } else {
      line = line " " words[i]
    }
  }
  print line
  item = ""
}

function endEntry() {
  flushItem()
  if (inEntry) printf "\n -- %s  %s\n", maintainer, rfc2822(entryDate)
  inEntry = 0
}

/^## \[/ {
  endEntry()
  released = 0
  if ($0 ~ /^## \[Unreleased\]/) next
  if ($0 !~ /^## \[[^]]+\] - [0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]$/) fail("cannot read the heading: " $0)
  entryVersion = $0; sub(/^## \[/, "", entryVersion); sub(/\].*/, "", entryVersion)
  entryDate = $0; sub(/.* - /, "", entryDate)
  if (entries == 0 && entryVersion != version)
    fail("the newest release in the changelog is " entryVersion ", the package is " version)
  if (entries > 0) print ""
  printf "%s (%s) unstable; urgency=medium\n", package, entryVersion
  entries++; inEntry = 1; released = 1
  next
}
!released { next }
/^### / { flushItem(); heading = $0; sub(/^### +/, "", heading); printf "\n  * %s:\n", heading; next }
/^- / { flushItem(); item = substr($0, 3); next }
/^[ \t]+[^ \t]/ { if (item != "") item = item " " $0; next }
/^[ \t]*$/ { flushItem(); next }
{ fail("cannot read the line: " $0) }

END {
  if (failed) exit 1
  endEntry()
  if (entries == 0) fail("no released version")
}
' "$1"
trap - EXIT

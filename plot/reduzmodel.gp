# Draws a reduzmodel report ("ReduzModel.txt") as a curve of the model value against the lag.
#
#   gnuplot -e "report='ReduzModel.txt'; output='model.png'" plot/reduzmodel.gp
#
# Variables, given with -e before the script:
#   report   the report file; several files separated by blanks draw one curve each
#            (file names must not contain blanks)
#   output   the picture to write; a name ending in ".svg" gives SVG, any other name PNG
#            (default "ReduzModel.png")
#   heading  the chart's title when several reports are drawn (default "Transiogram models")
#   width, height   the picture's size in pixels (default 800 by 500)
#
# One report: the title is the model's label, line 2 of the report (with the continuation line
# of a label that the report wraps), with the values of its parameter line beside their names:
# "3-Exponential: sill 0.25, range 25". Several reports: each curve is named so in the key, and
# the chart takes the heading as its title.
#
# A report that is missing or unreadable, or a file that is no report, ends the script with
# exit status 1 before the picture is begun: no output file is left.
#
# The report's lines end in CR LF and its table follows four or five header lines; both are
# dealt with here. The table's rows run from lag 0 upwards one by one, so a curve's lag is taken
# from the row's position: that also holds for lag 1000, whose three-column lag field shows
# asterisks.
#
# Needs a POSIX shell with sed and awk (gnuplot runs them through "<" and system()).

if (!exists("report")) report = "ReduzModel.txt"
if (!exists("output")) output = "ReduzModel.png"
if (!exists("heading")) heading = "Transiogram models"
if (!exists("width")) width = 800
if (!exists("height")) height = 500

# A file as one word for the shell, whatever its name holds: in single quotes, each ' in it
# written '\'', and a relative name begun with ./ so that sed and awk take it for no option
# ("-f...") and awk for no assignment ("x=1"). No name is ever a command.
fileWord(f) = "'" . quotesEscaped(f[1:1] eq "/" ? f : "./" . f) . "'"
quotesEscaped(f) = quotesFrom(f, strstrt(f, "'"))
quotesFrom(f, at) = at == 0 ? f : f[1:at - 1] . "'\\''" . quotesEscaped(f[at + 1:])

# The table without the header lines and without the CR of each line end.
rows(f) = sprintf("< sed -e '1,/REDUZ-Model/d' -e 's/\\r$//' %s", fileWord(f))

# The title of a report's curve: the label (line 2, and line 3 when it continues a label that
# the report wraps) with TABs and runs of blanks made one blank, then the parameter line's values
# put after the names the label lists. A value keeps the digits the report gives, with a zero
# before the point and without trailing zeros (".2500" is 0.25). A label without names, such as
# WRONG INPUT, stands alone; a line whose values do not match the names is added as it is.
title(f) = system(sprintf("awk '%s' %s", titleProgram, fileWord(f)))
titleProgram = '\
function value(v) { \
  if (v ~ /\./) { sub(/0+$/, "", v); sub(/\.$/, "", v) } \
  if (v == "" || v == "-") return "0"; \
  sub(/^\./, "0.", v); sub(/^-\./, "-0.", v); return v } \
{ sub(/\r$/, "") } \
NR == 2 { label = $0; next } \
NR == 3 && !/REDUZ-Model/ && !/^[ \t]*[-.0-9*]/ { sub(/^ /, ""); label = label $0; next } \
/REDUZ-Model/ { exit } \
NR > 2 && values == "" { values = $0 } \
END { \
  gsub(/[ \t]+/, " ", label); sub(/^ /, "", label); sub(/ $/, "", label); \
  colon = index(label, ":"); n = split(values, v, " "); \
  if (colon == 0 || n == 0) { print label; exit } \
  if (split(substr(label, colon + 1), names, ",") != n) { print label " " values; exit } \
  text = substr(label, 1, colon); \
  for (i = 1; i <= n; i++) { \
    gsub(/^ +| +$/, "", names[i]); \
    text = text (i > 1 ? "," : "") " " names[i] " " value(v[i]) } \
  print text }'

# A report: a file that can be read and holds the column heading of the table.
isReport(f) = system(sprintf("awk '/REDUZ-Model/ { found = 1 } END { exit !found }' %s 2>/dev/null && echo yes", fileWord(f))) eq "yes"

count = words(report)
do for [i = 1:count] {
  if (!isReport(word(report, i))) {
    print sprintf("reduzmodel.gp: '%s' is missing, unreadable or not a reduzmodel report", word(report, i))
    exit status 1
  }
}

if (strlen(output) > 4 && output[strlen(output) - 3:] eq ".svg") {
  set terminal svg size width, height font "sans,12" background "white"
} else {
  if (strstrt(GPVAL_TERMINALS, "pngcairo") > 0) {
    set terminal pngcairo size width, height font "sans,10" background "white"
  } else {
    set terminal png size width, height
  }
}
set output output

set encoding utf8
set termoption noenhanced
set xlabel "lag h"
set ylabel "model value"
set grid xtics ytics lc rgb "#c8c8c8" lw 1 dt 3
set border 3
set tics nomirror
set xrange [0:*]
set autoscale yfix
set offsets 0, 0, graph 0.05, graph 0.05

# Twelve distinguishable curves: eight colours, then four of them again dashed.
set linetype 1 lc rgb "#1f77b4" lw 2 dt 1
set linetype 2 lc rgb "#d62728" lw 2 dt 1
set linetype 3 lc rgb "#2ca02c" lw 2 dt 1
set linetype 4 lc rgb "#ff7f0e" lw 2 dt 1
set linetype 5 lc rgb "#9467bd" lw 2 dt 1
set linetype 6 lc rgb "#8c564b" lw 2 dt 1
set linetype 7 lc rgb "#e377c2" lw 2 dt 1
set linetype 8 lc rgb "#17becf" lw 2 dt 1
set linetype 9 lc rgb "#1f77b4" lw 2 dt 2
set linetype 10 lc rgb "#d62728" lw 2 dt 2
set linetype 11 lc rgb "#2ca02c" lw 2 dt 2
set linetype 12 lc rgb "#7f7f7f" lw 2 dt 2

if (count == 1) {
  set title title(report)
  unset key
  plot rows(report) using 0:2 with lines lt 1 notitle
} else {
  set title heading
  set key below left Left reverse samplen 3 spacing 1.1
  plot for [i = 1:count] rows(word(report, i)) using 0:2 with lines lt i title title(word(report, i))
}
set output

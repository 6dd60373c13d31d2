# Malha com volumes fictícios: every volume from "malha.txt", the real ones
# drawn again from "malha_real.txt" over the fictitious ones in another
# colour.
#
# Run in the directory of malha's output files:
#   gnuplot malha.gnu
# or, for a picture:
#   gnuplot -e "set terminal pngcairo; set output 'malha.png'" malha.gnu
# In a window the plot stays until the window is closed; with an image
# terminal chosen beforehand the script draws and ends.

# The titles' letters are UTF-8, which the cairo terminals (pngcairo, wxt) take
# as they are in every locale (a "set encoding" here would make gnuplot warn
# where the locale has no UTF-8); the terminal of gnuplot for Windows reads
# text in the system's code page unless told.
if (strstrt(GPVAL_TERMINALS, " windows ") > 0) {
  set encoding utf8
}
set title "Malha com volumes fictícios"
set xlabel "x"
set ylabel "y"
set size ratio -1
set offsets graph 0.05, graph 0.05, graph 0.05, graph 0.05
set key below horizontal
# The key's columns are as wide as its longest title, which gnuplot counts in
# characters with the UTF-8 encoding and in bytes without it; that title's
# one accented letter counts once either way.
set key width 1 - strlen("í")
set autoscale fix

# "malha.txt" holds the real volumes too; drawn first, only its fictitious
# outlines stay visible under the real ones.
plot "malha.txt" using 1:2 with lines linewidth 1.5 linecolor rgb "#d9731a" \
       title "volumes fictícios", \
     "malha_real.txt" using 1:2 with lines linewidth 1.5 linecolor rgb "#1f5fa8" \
       title "volumes reais"

if (strstrt(" qt wxt x11 windows aqua ", " ".GPVAL_TERM." ") > 0) {
  pause mouse close
}

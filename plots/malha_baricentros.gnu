# Baricentros: the mesh from "malha.txt" and "malha_real.txt" with the
# barycentre of every volume from "baricentros.txt" as a point.
#
# Run in the directory of malha's output files:
#   gnuplot malha_baricentros.gnu
# or, for a picture:
#   gnuplot -e "set terminal pngcairo; set output 'baricentros.png'" malha_baricentros.gnu
# In a window the plot stays until the window is closed; with an image
# terminal chosen beforehand the script draws and ends.

# The titles' letters are UTF-8, which the cairo terminals (pngcairo, wxt) take
# as they are in every locale (a "set encoding" here would make gnuplot warn
# where the locale has no UTF-8); the terminal of gnuplot for Windows reads
# text in the system's code page unless told.
if (strstrt(GPVAL_TERMINALS, " windows ") > 0) {
  set encoding utf8
}
set title "Baricentros"
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

# "baricentros.txt" lists the real volumes first; their count is the number
# of outline points in "malha_real.txt", four per volume.
stats "malha_real.txt" using 1:2 nooutput
n_real = int(STATS_records) / 4

plot "malha.txt" using 1:2 with lines linewidth 1 linecolor rgb "#f0b98a" \
       title "volumes fictícios", \
     "malha_real.txt" using 1:2 with lines linewidth 1 linecolor rgb "#8fb3dc" \
       title "volumes reais", \
     "baricentros.txt" every ::0::(n_real - 1) using 1:2 with points \
       pointtype 7 pointsize 0.6 linecolor rgb "#1f5fa8" title "baricentros reais", \
     "baricentros.txt" every ::n_real using 1:2 with points \
       pointtype 7 pointsize 0.6 linecolor rgb "#d9731a" title "baricentros fictícios"

if (strstrt(" qt wxt x11 windows aqua ", " ".GPVAL_TERM." ") > 0) {
  pause mouse close
}

# Malha real: the outlines of the real volumes, from "malha_real.txt".
#
# Run in the directory of malha's output files:
#   gnuplot malha_real.gnu
# or, for a picture:
#   gnuplot -e "set terminal pngcairo; set output 'malha_real.png'" malha_real.gnu
# In a window the plot stays until the window is closed; with an image
# terminal chosen beforehand the script draws and ends.

# The titles' letters are UTF-8, which the cairo terminals (pngcairo, wxt) take
# as they are in every locale (a "set encoding" here would make gnuplot warn
# where the locale has no UTF-8); the terminal of gnuplot for Windows reads
# text in the system's code page unless told.
if (strstrt(GPVAL_TERMINALS, " windows ") > 0) {
  set encoding utf8
}
set title "Malha real"
set xlabel "x"
set ylabel "y"
set size ratio -1
set offsets graph 0.05, graph 0.05, graph 0.05, graph 0.05
set key below horizontal
set autoscale fix

# Each triangle is a closed group of four points; the record holding one
# blank after it breaks the line.
plot "malha_real.txt" using 1:2 with lines linewidth 1.5 linecolor rgb "#1f5fa8" \
     title "volumes reais"

if (strstrt(" qt wxt x11 windows aqua ", " ".GPVAL_TERM." ") > 0) {
  pause mouse close
}

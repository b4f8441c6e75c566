# Plot script for the outline file malha.txt: every volume is a closed line of
# five points, and the line holding a single blank after each one lifts the pen.
# Works with wgnuplot on Windows and with gnuplot elsewhere; when the variable
# "arquivo_png" is set (gnuplot -e "arquivo_png='malha.png'" malha.gnu) the
# picture is written to that file instead of a window.
if (exists("arquivo_png")) {
    set terminal pngcairo size 900,900 font ",11"
    set output arquivo_png
}
set size ratio -1
unset key
set title "malha.txt"
set xlabel "x"
set ylabel "y"
plot "malha.txt" using 1:2 with lines linecolor rgb "#1f4e79" linewidth 1
if (!exists("arquivo_png")) pause mouse close

# The bench's times side by side, one group of bars per kind of work, on a logarithmic axis
# (the shell loops take ten to a hundred times as long).   gnuplot -e "data='…'; picture='…'" plot.gp
set terminal png size 900,480 font ",10"
set output picture
set title "Seconds per kind of work (lower is better; log scale)"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.85 border -1
set logscale y
set yrange [0.01:*]
set ylabel "seconds"
set key top left
set grid ytics
plot data using 2:xtic(1) title columnheader(2), \
     '' using 3 title columnheader(3), \
     '' using 4 title columnheader(4), \
     '' using 5 title columnheader(5), \
     '' using 6 title columnheader(6)

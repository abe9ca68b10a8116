# Renders the benchmark plots from the data that bench/tables.py --dat writes.
#   gnuplot -e "dat='DIR'; out='DOCS'" bench/plot.gp
if (!exists("dat")) dat = "build/bench/results/plot"
if (!exists("out")) out = "docs"

set terminal pngcairo size 1200,480 font "sans,10"
set grid
set key top left
set logscale x 2
set xtics (1, 16, 64)
set xrange [0.8:80]
array titles[5] = ["library", "raw libcurl", "cpprest, default", "cpprest, 2 threads", "wrk (wire limit)"]
set xlabel "calls in flight"
set ylabel "calls per second"
set yrange [0:*]
set style data linespoints

set output out."/perf-throughput.png"
set multiplot layout 1,2
set title "Splash picture (small answer, plain form), nginx"
plot for [i=2:6] dat."/throughput-splash.dat" using 1:i title titles[i - 1] lw 2 pt 7
set title "Song-list page of 100 songs (encrypted form), nginx"
plot for [i=2:6] dat."/throughput-list.dat" using 1:i title titles[i - 1] lw 2 pt 7
unset multiplot

set terminal pngcairo size 640,480 font "sans,10"
set output out."/perf-cpu-by-size.png"
set title "Client CPU per call by answer size, nginx, 16 in flight"
set logscale xy 10
set xtics (10, 100, 1000)
set xrange [7:1400]
set xlabel "songs in the answer"
set ylabel "client CPU µs per call"
set yrange [*:*]
plot dat."/cpu-by-size.dat" using 1:2 title "library" lw 2 pt 7, \
     "" using 1:3 title "raw libcurl + JSON parse" lw 2 pt 7

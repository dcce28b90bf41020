# SPDX-License-Identifier: GPL-3.0-or-later
# The benchmark chart: walk latency and trap ingest, Brellan beside Net-SNMP.
# Called by scripts/bench.sh with three variables:
#   walk    rows: name, median (us), p99 (us)
#   ingest  rows: burst, Brellan lines/s, snmptrapd lines/s
#   output  the PNG to write

set terminal pngcairo size 1200,500 font "Liberation Sans,11"
set output output
set multiplot layout 1,2
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.85 border -1
set boxwidth 0.9
set grid ytics
set key top left
set yrange [0:*]

set title "Walk of the system group (8 exchanges) against snmpd on 127.0.0.1"
set ylabel "microseconds per walk (lower is better)"
plot walk using 2:xtic(1) title "median" linecolor rgb "#3b75af", \
     '' using 3 title "99th percentile" linecolor rgb "#9ec1e0"

set title "Trap ingest, 100,000 v1 traps over 127.0.0.1"
set ylabel "trap lines logged per second (higher is better)"
set format y "%.0s%c"
plot ingest using 2:xtic(1) title "Brellan (core and engine)" linecolor rgb "#3b75af", \
     '' using 3 title "snmptrapd logging to a file" linecolor rgb "#e08a3c"

unset multiplot

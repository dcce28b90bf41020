#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark, Brellan side by side with Net-SNMP on the same
# machine in the same run, and prints one table of figures, ratios and goals.
# On a fresh machine it first installs what it needs (scripts/deps.sh build
# bench, as root), then builds the tools in build-bench/ (Release).
#
# Usage: scripts/bench.sh
#
# Net-SNMP's agent (snmpd) and trap receiver (snmptrapd) are started on free
# high UDP ports of 127.0.0.1 only (the agent also on ::1, for the walks
# over IPv6), and stopped when the script ends. Every datagram goes to
# 127.0.0.1 or ::1. Raw results (key=value, every run) go to
# build-bench/results.txt, the table to build-bench/table.txt and the chart
# to docs/benchmarks.png.
set -euo pipefail
cd "$(dirname "$0")/.."

build="build-bench"
results=$build/results.txt
table=$build/table.txt
chart=docs/benchmarks.png
# Each walk and trap measurement is run this often; the table shows the median.
walk_runs=5
trap_runs=3

scripts/deps.sh build bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRELLAN_WERROR=ON -DBRELLAN_BENCH=ON -DBRELLAN_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target bench_decode bench_walk bench_trap_ingest bench_trap_send bench_traplist \
    bench_trapdetails bench_search bench_search_responder bench_names brellan

tools=$(realpath "$build/bench")
source scripts/lib/cleanup.sh
source scripts/lib/snmpd.sh
source scripts/lib/wait.sh
work=$(mktemp -d)
on_exit rm -rf "$work"

# Net-SNMP's tools and daemons: numeric object identifiers, no MIB files, no
# state kept between runs.
export MIBS="" SNMP_PERSISTENT_DIR="$work/persist"

# A UDP port of 127.0.0.1 that nothing listens on (never 161 or 162).
free_udp_port() {
    local port
    for _ in $(seq 1 100); do
        port=$((20000 + RANDOM % 40000))
        if [ -z "$(ss -Hlun "sport = :$port")" ]; then
            echo "$port"
            return 0
        fi
    done
    echo "no free UDP port found" >&2
    return 1
}

# snmpd on 127.0.0.1 and ::1 (the same port) with community mervik; sets
# agent_port. The port found free may be taken before snmpd binds it: then
# it tries another.
start_bench_agent() {
    local attempt
    for attempt in 1 2 3; do
        agent_port=$(free_udp_port)
        if snmpd_start_and_wait --every 0.1 "$work/snmpd" "udp:127.0.0.1:$agent_port,udp6:[::1]:$agent_port" \
            "127.0.0.1:$agent_port" <<EOF
view brellan included .1
rocommunity mervik 127.0.0.1 -V brellan
rocommunity6 mervik ::1 -V brellan
sysContact bench@example.org
sysName bench-agent
sysLocation bench lab
sysServices 72
EOF
        then
            return 0
        fi
        kill "$snmpd_pid" 2>/dev/null || true
        echo "(attempt $attempt of 3)" >&2
    done
    return 1
}

# snmptrapd on 127.0.0.1, one line per trap to $trap_log, no name lookups,
# the same 4 MiB receive buffer that Brellan asks for; sets trap_port.
start_snmptrapd() {
    cat >"$work/snmptrapd.conf" <<EOF
disableAuthorization yes
[snmp] serverRecvBuf 4194304
EOF
    trap_log=$work/traps.log
    local attempt pid
    for attempt in 1 2 3; do
        trap_port=$(free_udp_port)
        : >"$trap_log"
        snmptrapd -f -C -c "$work/snmptrapd.conf" -n -Lf "$trap_log" -F '%A %w %q\n' "udp:127.0.0.1:$trap_port" &
        pid=$!
        on_exit_kill "$pid"
        wait_until --while "$pid" 5 grep -q 'NET-SNMP version' "$trap_log" && return 0
        kill "$pid" 2>/dev/null || true
        echo "snmptrapd did not start on 127.0.0.1:$trap_port (attempt $attempt)" >&2
    done
    return 1
}

# Appends a tool's "key=value" lines to the results, each key prefixed.
record() {
    local prefix=$1
    sed -n "s/^\([a-z_0-9.]*\)=/$prefix.\1=/p" >>"$results"
}

# The longest of the stalls recorded under `prefix`.*_max_gap_ms (every search of a find run).
longest_stall() {
    sed -n "s/^$1\.[a-z_]*_max_gap_ms=//p" "$results" | sort -g | tail -1 | awk '{ print } END { if (NR == 0) print "nan" }'
}

# The median of every value recorded under `key`.
median() {
    sed -n "s/^$1=//p" "$results" | sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The least of every value recorded under `key` (a goal every run must meet).
least() {
    sed -n "s/^$1=//p" "$results" | sort -g | awk 'NR == 1 { v = $1 } END { print (NR == 0) ? "nan" : v }'
}

# search_rows KEY COUNT LABEL: the table's rows for one search size; every
# run must have given all COUNT rows.
search_rows() {
    row "$3" "$(whole "$(least "$1.rows")")" "" "" "" "$2" "$(verdict "$(least "$1.rows")" "==" "$2")"
    row "  answers dropped by the system" "$(whole "$(median "$1.dropped")")" "" "" "" "0" \
        "$(verdict "$(median "$1.dropped")" "==" 0)"
    row "  click to last row (ms)" "$(median "$1.click_to_last_row_ms")" "" "" "" "" ""
    row "  longest stall (ms)" "$(median "$1.longest_stall_ms")" "" "" "" "<50" \
        "$(verdict "$(median "$1.longest_stall_ms")" "<" 50)"
}

# ratio A B: A / B with two decimals.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b + 0 == 0) print "nan"; else printf "%.2f", a / b }'; }

machine_facts() {
    echo "machine.cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)"
    echo "machine.cores=$(nproc)"
    echo "machine.ram_gb=$(awk '/^MemTotal:/ { printf "%.1f", $2 / 1048576 }' /proc/meminfo)"
    echo "machine.kernel=$(uname -r)"
    echo "machine.debian=$(cat /etc/debian_version 2>/dev/null || echo unknown)"
    echo "machine.qt=$(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo unknown)"
    echo "machine.netsnmp=$(dpkg-query -W -f='${Version}' snmpd 2>/dev/null || echo unknown)"
    echo "machine.rmem_max=$(cat /proc/sys/net/core/rmem_max)"
    echo "machine.load=$(cut -d ' ' -f 1-3 /proc/loadavg)"
    echo "machine.date=$(date -u '+%Y-%m-%d %H:%M UTC')"
}

: >"$results"
machine_facts >>"$results"

echo "== decoding (bench_decode)"
"$tools/bench_decode" --benchmark_format=csv --benchmark_min_time=0.5 2>/dev/null |
    awk -F, '$1 ~ /^"?decode/ { gsub(/"/, "", $1); print "decode." $1 "_ns=" $3 }' >>"$results"

echo "== walk latency against snmpd (bench_walk), $walk_runs runs"
start_bench_agent
# The three ways run interleaved inside each run, so their ratios are taken
# per run; the machine's speed may change between runs.
# Each run walks over IPv4 (127.0.0.1, "walk") and over IPv6 (::1, "walk6").
for _ in $(seq 1 "$walk_runs"); do
    for family in walk walk6; do
        "$tools/bench_walk" --port "$agent_port" --walks 1000 $([ "$family" = walk6 ] && echo --ipv6) >"$work/walk.out"
        sed -n 's/^walk \([a-z]*\) median_us=\([0-9.]*\) p99_us=\([0-9.]*\).*/\1.median_us=\2\n\1.p99_us=\3/p' \
            "$work/walk.out" | record "$family"
        awk '{ split($3, m, "="); median[$2] = m[2] } END {
            printf "ratio_floor=%.3f\nratio_libsnmp=%.3f\n", median["brellan"] / median["floor"], median["brellan"] / median["netsnmp"] }' \
            "$work/walk.out" | record "$family"
    done
done

echo "== trap ingest: Brellan (bench_trap_ingest) and snmptrapd logging to a file, $trap_runs runs"
start_snmptrapd
# One burst of 100,000 traps to snmptrapd; prints the same keys as bench_trap_ingest.
snmptrapd_burst() {
    : >"$trap_log"
    "$tools/bench_trap_send" --port "$trap_port" --count 100000 --rate "$1" --cap-ms 30000 \
        --watch "$trap_log" --settle-ms 1000 |
        awk -F= '{ v[$1] = $2 } END {
            seconds = (v["last_ns"] - v["start_ns"]) / 1e9
            printf "sent=%d\nlogged=%d\nlost=%d\nseconds=%.3f\nper_s=%.0f\n", v["sent"], v["logged"],
                   v["sent"] - v["logged"], seconds, (seconds > 0 ? v["logged"] / seconds : 0) }'
}
for _ in $(seq 1 "$trap_runs"); do
    for rate in 50000 0; do
        mode=$([ "$rate" -eq 0 ] && echo flat || echo paced)
        "$tools/bench_trap_ingest" --sender "$tools/bench_trap_send" --count 100000 --rate "$rate" \
            --sender-output "$work/send.out" >"$work/ours.out"
        snmptrapd_burst "$rate" >"$work/theirs.out"
        record "ingest.brellan.$mode" <"$work/ours.out"
        record "ingest.netsnmp.$mode" <"$work/theirs.out"
        echo "ratio=$(ratio "$(sed -n 's/^per_s=//p' "$work/ours.out")" "$(sed -n 's/^per_s=//p' "$work/theirs.out")")" |
            record "ingest.$mode"
        # The same burst over IPv6 (::1), beside the IPv4 one just taken.
        "$tools/bench_trap_ingest" --sender "$tools/bench_trap_send" --count 100000 --rate "$rate" --ipv6 \
            --sender-output "$work/send.out" >"$work/ours6.out"
        record "ingest6.brellan.$mode" <"$work/ours6.out"
        echo "ratio=$(ratio "$(sed -n 's/^per_s=//p' "$work/ours6.out")" "$(sed -n 's/^per_s=//p' "$work/ours.out")")" |
            record "ingest6.$mode"
    done
done

echo "== trap list at scale (bench_traplist)"
"$tools/bench_traplist" --lines 1000000 2>/dev/null | record traplist
"$tools/bench_traplist" --lines 10000000 2>/dev/null | record traplist10m
"$tools/bench_traplist" --stall --sender "$tools/bench_trap_send" --rate 20000 --seconds 10 2>/dev/null | record stall

echo "== traps into a list of 5,000,000 lines (bench_traplist --prefill), $trap_runs runs"
full_list=(--stall --sender "$tools/bench_trap_send" --prefill 5000000)
for _ in $(seq 1 "$trap_runs"); do
    "$tools/bench_traplist" "${full_list[@]}" --rate 50000 --seconds 10 2>/dev/null | record full
    "$tools/bench_traplist" "${full_list[@]}" --rate 50000 --seconds 10 --freeze-ms 500 --freezes 2 2>/dev/null |
        record frozen
    "$tools/bench_traplist" "${full_list[@]}" --rate 0 --count 100000 2>/dev/null | record fullflat
done

echo "== the traps behind the lines: 10,000,000 typical traps (bench_trapdetails)"
"$tools/bench_trapdetails" --traps 10000000 --hovers 20 2>/dev/null | record details10m

echo "== traps with their details kept into 5,000,000 lines that have theirs, $trap_runs runs"
for _ in $(seq 1 "$trap_runs"); do
    "$tools/bench_traplist" "${full_list[@]}" --prefill-details --rate 50000 --seconds 10 2>/dev/null | record dfull
    "$tools/bench_traplist" "${full_list[@]}" --prefill-details --rate 0 --count 100000 2>/dev/null | record dfullflat
    # The same while the find field searches for a word no trap holds, one search after another.
    "$tools/bench_traplist" "${full_list[@]}" --prefill-details --rate 50000 --seconds 10 --find nosuchword \
        2>/dev/null | record dfind
done

echo "== finding among 10,000,000 lines, their text alone and with their details (bench_traplist --find-times)"
"$tools/bench_traplist" --find-times --lines 10000000 --text-only 2>/dev/null | record findtext
"$tools/bench_traplist" --find-times --lines 10000000 2>/dev/null | record find10m
"$tools/bench_traplist" --find-times --lines 10000000 --v2c 2>/dev/null | record findv2c

echo "== 100,000 traps of 60 KB of random bytes (bench_traplist --payload-bytes)"
"$tools/bench_traplist" --stall --sender "$tools/bench_trap_send" --rate 5000 --count 100000 --payload-bytes 60000 \
    2>/dev/null | record hostile

echo "== a search answered by 5,000 and by 10,000 agents at once, at net.core.rmem_max 212,992 (bench/search_lan.sh, namespaces, root only), $trap_runs runs"
bench/search_lan.sh "$build" 5000 "$trap_runs" | sed -n 's/^search run=[0-9]* //p' | tr ' ' '\n' | record search
bench/search_lan.sh "$build" 10000 "$trap_runs" | sed -n 's/^search run=[0-9]* //p' | tr ' ' '\n' | record search10k

echo "== names: 500 generated MIB modules read in the background, lookups beside snprint_objid (bench_names)"
"$tools/bench_names" --modules 500 --lookups 200000 --program "$(realpath "$build/app/brellan")" 2>/dev/null | record names

if [ -x bench/startup.sh ]; then
    echo "== start-up (bench/startup.sh)"
    bench/startup.sh "$build" 10 | sed -n 's/^startup \(.*\)/\1/p' | tr ' ' '\n' | record startup
fi

# --- The table ---

# verdict VALUE OP LIMIT: "met" or "MISSED".
verdict() { awk -v v="$1" -v op="$2" -v l="$3" 'BEGIN {
    if (op == "<=") ok = v + 0 <= l + 0; else if (op == "<") ok = v + 0 < l + 0
    else if (op == ">=") ok = v + 0 >= l + 0; else if (op == ">") ok = v + 0 > l + 0; else ok = v + 0 == l + 0
    print (v == "nan") ? "n/a" : ok ? "met" : "MISSED" }'; }
# Whole numbers for counts and rates.
whole() { awk -v v="$1" 'BEGIN { if (v == "nan") print "n/a"; else printf "%.0f", v }'; }

walk_ours=$(median walk.brellan.median_us)
walk_lib=$(median walk.netsnmp.median_us)
walk_floor=$(median walk.floor.median_us)
walk_vs_floor=$(median walk.ratio_floor)
walk_vs_lib=$(median walk.ratio_libsnmp)
paced_lost=$(median ingest.brellan.paced.lost)
flat_ours=$(median ingest.brellan.flat.per_s)
flat_trapd=$(median ingest.netsnmp.flat.per_s)
flat_ratio=$(median ingest.flat.ratio)
full_lost=$(median full.lost)
frozen_lost=$(median frozen.lost)
fullflat_ours=$(median fullflat.per_s)
fullflat_ratio=$(ratio "$fullflat_ours" "$flat_trapd")
dfull_lost=$(median dfull.lost)
dfullflat_ours=$(median dfullflat.per_s)
dfullflat_ratio=$(ratio "$dfullflat_ours" "$flat_trapd")
# Beyond the line: beyond the text and the ~4 bytes a line takes without details.
detail_bytes=$(awk -v a="$(median details10m.bytes_per_trap_beyond_text)" \
    -v b="$(median traplist10m.bytes_per_line_beyond_text)" 'BEGIN { printf "%.1f", a - b }')
hostile_growth=$(awk -v a="$(median hostile.rss_mb)" -v b="$(median hostile.rss_before_mb)" 'BEGIN { printf "%.1f", a - b }')
# The budget plus what the lines take (their text, "10.66.0.1 enterpriseSpecific: 66", and 4 bytes each).
hostile_limit=$(awk -v budget="$(median details10m.budget_mb)" -v n="$(median hostile.logged)" \
    'BEGIN { printf "%.1f", budget + n * (32 + 4) / 1048576 }')
startup_ms=$(median startup.window_mapped_ms)
startup_mb=$(median startup.rss_idle_mb)

{
    row() { printf '%-44s %11s %11s %9s %7s %-9s %s\n' "$@"; }
    echo "Brellan benchmarks, $(sed -n 's/^machine.date=//p' "$results"), median of $walk_runs walk runs and $trap_runs trap runs (ratios per run)"
    row "Measure" "Brellan" "Net-SNMP" "Floor" "Ratio" "Goal" "Result"
    row "Walk of the system group, median (us)" "$walk_ours" "$walk_lib" "$walk_floor" "$walk_vs_floor" "<=1.05" \
        "$(verdict "$walk_vs_floor" "<=" 1.05) (Brellan/floor)"
    row "  same, Brellan / libsnmp" "" "" "" "$walk_vs_lib" "<=0.95" "$(verdict "$walk_vs_lib" "<=" 0.95)"
    row "Walk of the system group, p99 (us)" "$(median walk.brellan.p99_us)" "$(median walk.netsnmp.p99_us)" \
        "$(median walk.floor.p99_us)" "" "" ""
    row "Walk over IPv6 (::1), median (us)" "$(median walk6.brellan.median_us)" "$(median walk6.netsnmp.median_us)" \
        "$(median walk6.floor.median_us)" "$(median walk6.ratio_floor)" "" "(Brellan/floor)"
    row "  same, Brellan / libsnmp" "" "" "" "$(median walk6.ratio_libsnmp)" "" ""
    row "  p99 (us)" "$(median walk6.brellan.p99_us)" "$(median walk6.netsnmp.p99_us)" \
        "$(median walk6.floor.p99_us)" "" "" ""
    row "100,000 traps at 50,000/s: logged" "$(whole "$(median ingest.brellan.paced.logged)")" \
        "$(whole "$(median ingest.netsnmp.paced.logged)")" "" "" "" ""
    row "  lines logged per second" "$(whole "$(median ingest.brellan.paced.per_s)")" \
        "$(whole "$(median ingest.netsnmp.paced.per_s)")" "" "$(median ingest.paced.ratio)" "" ""
    row "  lost" "$(whole "$paced_lost")" "$(whole "$(median ingest.netsnmp.paced.lost)")" "" "" "0" \
        "$(verdict "$paced_lost" "==" 0)"
    row "100,000 traps flat out: logged" "$(whole "$(median ingest.brellan.flat.logged)")" \
        "$(whole "$(median ingest.netsnmp.flat.logged)")" "" "" "" ""
    row "  lines logged per second" "$(whole "$flat_ours")" "$(whole "$flat_trapd")" "" "$flat_ratio" ">=100000" \
        "$(verdict "$flat_ours" ">=" 100000)"
    row "  Brellan / snmptrapd" "" "" "" "$flat_ratio" ">=3" "$(verdict "$flat_ratio" ">=" 3)"
    row "Over IPv6 (::1), 50,000/s: lines per second" "$(whole "$(median ingest6.brellan.paced.per_s)")" "" "" \
        "$(median ingest6.paced.ratio)" "" "(IPv6/IPv4)"
    row "  lost" "$(whole "$(median ingest6.brellan.paced.lost)")" "" "" "" "0" \
        "$(verdict "$(median ingest6.brellan.paced.lost)" "==" 0)"
    row "  flat out: lines per second" "$(whole "$(median ingest6.brellan.flat.per_s)")" "" "" \
        "$(median ingest6.flat.ratio)" "" "(IPv6/IPv4)"
    row "1,000,000 lines into the trap list (s)" "$(median traplist.total_s)" "" "" "" "<2" \
        "$(verdict "$(median traplist.total_s)" "<" 2)"
    row "  memory per line beyond its text (bytes)" "$(median traplist.bytes_per_line_beyond_text)" "" "" "" "<200" \
        "$(verdict "$(median traplist.bytes_per_line_beyond_text)" "<" 200)"
    row "Longest stall, 20,000 traps/s for 10 s (ms)" "$(median stall.max_gap_ms)" "" "" "" "<50" \
        "$(verdict "$(median stall.max_gap_ms)" "<" 50)"
    row "  traps logged of those sent" "$(median stall.logged)/$(median stall.sent)" "" "" "" "" ""
    row "50,000/s for 10 s into 5,000,000 lines: lost" "$(whole "$full_lost")" "" "" "" "0" \
        "$(verdict "$full_lost" "==" 0)"
    row "  longest stall (ms)" "$(median full.max_gap_ms)" "" "" "" "<50" "$(verdict "$(median full.max_gap_ms)" "<" 50)"
    row "  same, GUI frozen 500 ms twice: lost" "$(whole "$frozen_lost")" "" "" "" "0" "$(verdict "$frozen_lost" "==" 0)"
    row "Flat out, 5,000,000 lines: lines per second" "$(whole "$fullflat_ours")" "$(whole "$flat_trapd")" "" \
        "$fullflat_ratio" ">=100000" "$(verdict "$fullflat_ours" ">=" 100000)"
    row "  Brellan / snmptrapd" "" "" "" "$fullflat_ratio" ">=10" "$(verdict "$fullflat_ratio" ">=" 10)"
    row "  logged of those sent" "$(whole "$(median fullflat.logged)")/$(whole "$(median fullflat.sent)")" "" "" "" "" ""
    row "10,000,000 lines: bytes per line beyond text" "$(median traplist10m.bytes_per_line_beyond_text)" "" "" "" \
        "<32" "$(verdict "$(median traplist10m.bytes_per_line_beyond_text)" "<" 32)"
    row "  resident memory (MB)" "$(median traplist10m.rss_mb)" "" "" "" "" ""
    row "With details, 50,000/s into 5,000,000: lost" "$(whole "$dfull_lost")" "" "" "" "0" \
        "$(verdict "$dfull_lost" "==" 0)"
    row "  longest stall (ms)" "$(median dfull.max_gap_ms)" "" "" "" "<50" \
        "$(verdict "$(median dfull.max_gap_ms)" "<" 50)"
    # 0 would mean the engine passed the window no datagram: these rows would then say nothing about details.
    row "  datagram bytes passed on per trap" "$(median dfull.datagram_bytes_per_trap)" "" "" "" ">0" \
        "$(verdict "$(median dfull.datagram_bytes_per_trap)" ">" 0)"
    row "With details, flat out: lines per second" "$(whole "$dfullflat_ours")" "$(whole "$flat_trapd")" "" \
        "$dfullflat_ratio" ">=100000" "$(verdict "$dfullflat_ours" ">=" 100000)"
    row "  Brellan / snmptrapd" "" "" "" "$dfullflat_ratio" ">=10" "$(verdict "$dfullflat_ratio" ">=" 10)"
    row "  datagram bytes passed on per trap" "$(median dfullflat.datagram_bytes_per_trap)" "" "" "" ">0" \
        "$(verdict "$(median dfullflat.datagram_bytes_per_trap)" ">" 0)"
    row "10,000,000 traps: detail bytes beyond line" "$detail_bytes" "" "" "" "<=32" \
        "$(verdict "$detail_bytes" "<=" 32)"
    row "  resident memory (MB)" "$(median details10m.rss_mb)" "" "" "" "" ""
    row "Tooltip among 10,000,000 lines (ms, max)" "$(median details10m.hover_max_ms)" "" "" "" "<16" \
        "$(verdict "$(median details10m.hover_max_ms)" "<" 16)"
    row "  names handed to the window (ms, GUI thread)" "$(median details10m.names_handover_ms)" "" "" "" "<50" \
        "$(verdict "$(median details10m.names_handover_ms)" "<" 50)"
    row "  Ctrl+A, Ctrl+C (ms; lines copied)" "$(median details10m.copy_ms)" "" "" "" "" \
        "$(whole "$(median details10m.copy_lines)") lines"
    row "  Ctrl+Shift+C (ms; lines copied)" "$(median details10m.copy_details_ms)" "" "" "" "" \
        "$(whole "$(median details10m.copy_details_lines)") lines"
    # Seconds to milliseconds for the find rows.
    ms() { awk -v v="$1" 'BEGIN { if (v == "nan") print "nan"; else printf "%.1f", v * 1000 }'; }
    findtext_stall=$(longest_stall findtext)
    find10m_stall=$(longest_stall find10m)
    row "Find, 10,000,000 lines' text: near (ms)" "$(ms "$(median findtext.near_s)")" "" "" "" "<100" \
        "$(verdict "$(ms "$(median findtext.near_s)")" "<" 100)"
    row "  a line 1,000 from the end (s)" "$(median findtext.far_s)" "" "" "" "<2" \
        "$(verdict "$(median findtext.far_s)" "<" 2)"
    row "  no match (s)" "$(median findtext.none_plain_s)" "" "" "" "<2" \
        "$(verdict "$(median findtext.none_plain_s)" "<" 2)"
    row "  longest stall (ms)" "$findtext_stall" "" "" "" "<50" "$(verdict "$findtext_stall" "<" 50)"
    row "Find, 10,000,000 with details: near (ms)" "$(ms "$(median find10m.near_s)")" "" "" "" "<100" \
        "$(verdict "$(ms "$(median find10m.near_s)")" "<" 100)"
    row "  no match, needle with @ (s)" "$(median find10m.none_ruled_out_s)" "" "" "" "<2" \
        "$(verdict "$(median find10m.none_ruled_out_s)" "<" 2)"
    row "  details at the middle, needle with @ (s)" "$(median find10m.details_ruled_in_s)" "" "" "" "<2" \
        "$(verdict "$(median find10m.details_ruled_in_s)" "<" 2)"
    row "  a line 1,000 from the end (s)" "$(median find10m.far_s)" "" "" "" "<2" \
        "$(verdict "$(median find10m.far_s)" "<" 2)"
    row "  details at the middle, plain word (s)" "$(median find10m.details_plain_s)" "" "" "" "<2" \
        "$(verdict "$(median find10m.details_plain_s)" "<" 2)"
    row "  no match, plain word (s)" "$(median find10m.none_plain_s)" "" "" "" "<2" \
        "$(verdict "$(median find10m.none_plain_s)" "<" 2)"
    row "  no match, a word the details write (s)" "$(median find10m.none_formatter_s)" "" "" "" "<2" \
        "$(verdict "$(median find10m.none_formatter_s)" "<" 2)"
    row "  near match, then counted (s)" "$(median find10m.near_counted_s)" "" "" "" "" ""
    row "Find, 10,000,000 SNMPv2c traps: far line (s)" "$(median findv2c.far_s)" "" "" "" "<2" \
        "$(verdict "$(median findv2c.far_s)" "<" 2)"
    row "  no match, a word the details write (s)" "$(median findv2c.none_formatter_s)" "" "" "" "<2" \
        "$(verdict "$(median findv2c.none_formatter_s)" "<" 2)"
    row "  longest stall (ms)" "$find10m_stall" "" "" "" "<50" "$(verdict "$find10m_stall" "<" 50)"
    row "Searching, 50,000/s into 5,000,000: lost" "$(whole "$(median dfind.lost)")" "" "" "" "0" \
        "$(verdict "$(median dfind.lost)" "==" 0)"
    row "  longest stall (ms)" "$(median dfind.max_gap_ms)" "" "" "" "<50" \
        "$(verdict "$(median dfind.max_gap_ms)" "<" 50)"
    row "100,000 traps of 60 KB: resident growth (MB)" "$hostile_growth" "" "" "" "<=$hostile_limit" \
        "$(verdict "$hostile_growth" "<=" "$hostile_limit")"
    row "  lines lost" "$(whole "$(median hostile.lost)")" "" "" "" "0" "$(verdict "$(median hostile.lost)" "==" 0)"
    row "  datagram bytes passed on per trap" "$(median hostile.datagram_bytes_per_trap)" "" "" "" ">0" \
        "$(verdict "$(median hostile.datagram_bytes_per_trap)" ">" 0)"
    search_rows search 5000 "Search, 5,000 agents at once: rows (least)"
    search_rows search10k 10000 "Search, 10,000 agents at once: rows (least)"
    if [ "$startup_ms" != nan ]; then
        row "Start to window shown (ms)" "$startup_ms" "" "" "" "<200" "$(verdict "$startup_ms" "<" 200)"
        row "Idle resident memory (MB)" "$startup_mb" "" "" "" "<60" "$(verdict "$startup_mb" "<" 60)"
    fi
    row "Name of a binding's OID, median (ns)" "$(whole "$(median names.lookup.brellan.median_ns)")" \
        "$(whole "$(median names.lookup.netsnmp.median_ns)")" "" "" "<2000" \
        "$(verdict "$(median names.lookup.brellan.median_ns)" "<" 2000)"
    row "  p99 (ns)" "$(whole "$(median names.lookup.brellan.p99_ns)")" \
        "$(whole "$(median names.lookup.netsnmp.p99_ns)")" "" "" "" ""
    row "500 modules read in the background (s)" "$(median names.load.child_s)" "$(median names.load.netsnmp_s)" \
        "" "" "<5" "$(verdict "$(median names.load.child_s)" "<" 5)"
    row "  resident memory they add (MB)" "$(median names.load.child_rss_added_mb)" "" "" "" "" ""
    row "Decode a GetResponse (ns)" "$(whole "$(median decode.decodeGetResponse_ns)")" "" "" "" "" ""
    row "Decode a v1 trap (ns)" "$(whole "$(median decode.decodeV1Trap_ns)")" "" "" "" "" ""
} | tee "$table"

# --- The chart: walk latency and trap ingest, Brellan beside Net-SNMP ---

cat >"$work/walk.dat" <<EOF
Brellan $walk_ours $(median walk.brellan.p99_us)
"Net-SNMP libsnmp" $walk_lib $(median walk.netsnmp.p99_us)
"Bare UDP floor" $walk_floor $(median walk.floor.p99_us)
EOF
cat >"$work/ingest.dat" <<EOF
"50,000/s paced" $(median ingest.brellan.paced.per_s) $(median ingest.netsnmp.paced.per_s)
"flat out" $flat_ours $flat_trapd
EOF
gnuplot -e "walk='$work/walk.dat'; ingest='$work/ingest.dat'; output='$chart'" bench/benchmarks.gp
echo "Raw results: $results; table: $table; chart: $chart"

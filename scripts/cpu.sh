#!/usr/bin/env bash
# CPU of the whole program, Quarl plus the X server that draws it, in every view at 8000 and
# 48000 samples/s with a redraw per block, on a private sound server (QUARL_SOUND_SERVER) and
# Xvfb. Each run measures a window of SECONDS (default 30) after a few seconds of settling, from
# the user and system times in /proc/PID/stat, and prints one line: view, rate, app %, X %,
# total % of one core, and the sound server's own % (all its processes, the test tone aside).
#
#   bash scripts/cpu.sh [SECONDS]
#
# QUARL_CPU_RATES and QUARL_CPU_VIEWS (spectrum waveform sweep flow) narrow the runs.
# QUARL_CPU_ROUNDS (default 1) repeats the whole set and ends with each line's median: on a
# virtual machine the cost of a wake-up varies with what the host runs, by up to 3x from one
# minute to the next, and rounds spread over several minutes even that out.
set -euo pipefail

cd "$(dirname "$0")/.."
if [[ -z "${QUARL_SERVICES_DIR:-}" ]]; then
    exec bash scripts/with-services.sh bash "$0" "$@"
fi
seconds=${1:-30}
settle_s=5
build=${QUARL_BUILD_DIR:-build}
. scripts/program-lib.sh

xvfb_pid=$(<"$QUARL_SERVICES_DIR/xvfb.pid")
server_pids=$(bash scripts/sound.sh server-pids | awk '{print $1}')
server_ticks() {
    local pid sum=0
    for pid in $server_pids; do sum=$((sum + $(proc_cpu_ticks "$pid"))); done
    echo "$sum"
}
hz=$(getconf CLK_TCK)
work=$(mktemp -d)
trap 'kill -KILL "${QUARL_PID:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

# awk and sort -n under the C locale: a German one writes and reads "1,60" (mawk then takes
# "1.60" for 1). The program itself runs in the user's locale.
percent() { LC_ALL=C awk -v t="$1" -v hz="$hz" -v s="$seconds" 'BEGIN {printf "%.2f", 100 * t / hz / s}'; }

rounds=${QUARL_CPU_ROUNDS:-1}
printf '%-10s %6s %7s %7s %8s %9s\n' view rate 'app %' 'X %' 'total %' 'server %'
for ((round = 0; round < rounds; round++)); do
    for rate in ${QUARL_CPU_RATES:-8000 48000}; do
        for view in ${QUARL_CPU_VIEWS:-spectrum waveform sweep flow}; do
            case $view in
            spectrum) code=1000 ;; waveform) code=2000 ;; *) code=3000 ;;
            esac
            quarl_start "$build" "$work" "$code" "$rate"
            [[ $view == flow ]] && quarl_sonagraph_mode flow
            # Away from the window: a pointer over it would add hover repaints.
            xdotool mousemove 1000 700
            sleep "$settle_s"
            app0=$(proc_cpu_ticks "$QUARL_PID")
            x0=$(proc_cpu_ticks "$xvfb_pid")
            s0=$(server_ticks)
            sleep "$seconds"
            app=$(($(proc_cpu_ticks "$QUARL_PID") - app0))
            x=$(($(proc_cpu_ticks "$xvfb_pid") - x0))
            server=$(($(server_ticks) - s0))
            quarl_stop >/dev/null
            name=$([[ $code == 3000 ]] && echo "sona-$view" || echo "$view")
            printf '%-10s %6s %7s %7s %8s %9s\n' "$name" "$rate" "$(percent "$app")" \
                "$(percent "$x")" "$(percent $((app + x)))" "$(percent "$server")" |
                tee -a "$work/lines"
        done
    done
done
if ((rounds > 1)); then
    echo "over $rounds rounds: median app %, X %, the least, median and most total %, median server %:"
    LC_ALL=C sort -k1,1 -k2,2n -s "$work/lines" | LC_ALL=C awk '
        function sorted(list, a,   n, i, j, t) {
            n = split(list, a, " ")
            for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] + 0 > a[j] + 0; j--) {
                t = a[j]; a[j] = a[j - 1]; a[j - 1] = t
            }
            return n
        }
        function median(list,   a, n) {
            n = sorted(list, a)
            return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
        }
        function flush(   a, n) {
            if (!n_) return
            n = sorted(tot, a)
            printf "%-10s %6s %7.2f %7.2f   %.2f / %.2f / %.2f %9.2f\n", key1, key2, median(app), median(x), a[1], median(tot), a[n], median(srv)
        }
        $1 != key1 || $2 != key2 { flush(); key1 = $1; key2 = $2; n_ = 0; app = x = tot = srv = "" }
        { n_++; app = app " " $3; x = x " " $4; tot = tot " " $5; srv = srv " " $6 }
        END { flush() }'
fi

#!/usr/bin/env bash
# CPU of the whole program, Quarl plus the X server that draws it, in every view at 8000 and
# 48000 samples/s with a redraw per block, on a private PulseAudio and Xvfb. Each run measures
# a window of SECONDS (default 30) after a few seconds of settling, from the user and system
# times in /proc/PID/stat, and prints one line: view, rate, app %, X %, total % of one core.
#
#   bash scripts/cpu.sh [SECONDS]
#
# QUARL_CPU_RATES and QUARL_CPU_VIEWS (spectrum waveform sweep flow) narrow the runs.
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
hz=$(getconf CLK_TCK)
work=$(mktemp -d)
trap 'kill -KILL "${QUARL_PID:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

percent() { awk -v t="$1" -v hz="$hz" -v s="$seconds" 'BEGIN {printf "%.2f", 100 * t / hz / s}'; }

printf '%-10s %6s %7s %7s %8s\n' view rate 'app %' 'X %' 'total %'
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
        sleep "$seconds"
        app=$(($(proc_cpu_ticks "$QUARL_PID") - app0))
        x=$(($(proc_cpu_ticks "$xvfb_pid") - x0))
        quarl_stop >/dev/null
        name=$([[ $code == 3000 ]] && echo "sona-$view" || echo "$view")
        printf '%-10s %6s %7s %7s %8s\n' "$name" "$rate" "$(percent "$app")" "$(percent "$x")" \
            "$(percent $((app + x)))"
    done
done

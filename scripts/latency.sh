#!/usr/bin/env bash
# Tone-to-trace latency, as a user tuning a signal sees it: in the spectrum view, a 1500 Hz tone
# is switched on (unmuted) in the private sound server (QUARL_SOUND_SERVER: PulseAudio or
# PipeWire) and the window's pixels are read every 2 ms until the
# trace peaks at the tone's column (tests/tools/quarl_xlatency). Repeated ROUNDS times (default
# 11) per sample rate; prints each rate's median, fastest and slowest, and the block length
# for comparison.
#
#   bash scripts/latency.sh [ROUNDS] [RATE...]
set -euo pipefail

cd "$(dirname "$0")/.."
if [[ -z "${QUARL_SERVICES_DIR:-}" ]]; then
    exec bash scripts/with-services.sh bash "$0" "$@"
fi
rounds=${1:-11}
shift || true
rates=("$@")
((${#rates[@]})) || rates=(8000 11025 22050 44100 48000)
build=${QUARL_BUILD_DIR:-build}
tone_hz=1500
. scripts/program-lib.sh

work=$(mktemp -d)
trap 'kill -KILL "${QUARL_PID:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

# The indexes of the streams that play into the tone sink, or of the one named $1 among them.
tone_streams() {
    local sink
    sink=$(pactl list short sinks | awk '$2 == "quarl_tone" {print $1}')
    pactl list sink-inputs | awk -v sink="$sink" -v want="${1:-}" '
        /^Sink Input #/ { i = substr($3, 2); on = 0 }
        /^[ \t]*Sink: / { on = $2 == sink }
        /^[ \t]*media\.name = / { n = $3; gsub(/"/, "", n); if (on && (want == "" || n == want)) print i }'
}

# The private server's standing 1000 Hz tone would spread into the measured column at the
# higher rates (a 512-point transform without a window leaks far): mute it. The probe tone
# plays from here on, muted; unmuting it is the switch that is timed, the same on both servers.
for stream in $(tone_streams); do pactl set-sink-input-mute "$stream" 1; done
bash scripts/sound.sh tone probe "$tone_hz" quarl_tone
probe=$(tone_streams quarl-tone-probe)
pactl set-sink-input-mute "$probe" 1

printf '%6s %9s %9s %9s %9s\n' rate 'median ms' 'min ms' 'max ms' 'block ms'
for rate in "${rates[@]}"; do
    quarl_start "$build" "$work" 1000 "$rate"
    xdotool mousemove 1000 700
    sleep 2
    # The bandwidth is half the rate, so two columns per bin: the tone's bin is the nearest to
    # tone / (Nyquist / 256).
    nyquist=$((rate / 2))
    column=$((2 * ((tone_hz * 256 * 2 + nyquist) / (2 * nyquist))))
    height=$(xdotool getwindowgeometry "$QUARL_WINDOW" | awk -F'[x ]' '/Geometry/ {print $NF}')
    # The display lies between the 1-pixel cursor strip and the read-out row and button bar.
    bottom=$((height - 55))
    : >"$work/times"
    for ((i = 0; i < rounds; i++)); do
        if ms=$("$build/tests/tools/quarl_xlatency" "$QUARL_WINDOW" "$column" 1 "$bottom" 2000 -- \
            pactl set-sink-input-mute "$probe" 0); then
            echo "$ms" >>"$work/times"
        fi
        pactl set-sink-input-mute "$probe" 1
        sleep 1
    done
    quarl_stop >/dev/null || true
    # The C locale: a German one would sort "10.5" as 105 and make mawk read it as 10.
    block=$(LC_ALL=C awk -v r="$rate" 'BEGIN {printf "%.1f", 512000 / r}')
    LC_ALL=C sort -n "$work/times" | LC_ALL=C awk -v rate="$rate" -v block="$block" '
        { t[NR] = $1 }
        END {
            if (NR == 0) { printf "%6s %9s\n", rate, "no peak"; exit }
            printf "%6s %9.1f %9.1f %9.1f %9s\n", rate, (NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2), t[1], t[NR], block
        }'
done

#!/usr/bin/env bash
# The private sound server that the tests run on (scripts/sound.sh), as QUARL_SOUND_SERVER
# names it: its default source plays 1000 Hz at the real pace; added inputs are listed in
# order and recorded when made the default; a recording follows a change of the default to a
# sink's monitor; a second tone mixes into a sink and goes again; stop (also of a start that
# fails half way) leaves no process behind. Recorded with parec, checked by a Goertzel filter.
set -uo pipefail
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
rate=8000
state=$(mktemp -d)
trap 'bash "$scripts/sound.sh" stop "$state" >/dev/null 2>&1; rm -rf "$state"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# record SAMPLES [SOURCE]: raw mono s16le at $rate from SOURCE or the default source.
record() {
    timeout 10 parec ${2:+-d "$2"} --raw --format=s16le --rate="$rate" --channels=1 \
        --latency-msec=64 2>/dev/null | head -c $(($1 * 2))
}

# shares "F1 F2 ..." <raw: "F share" per frequency, the share of the signal's power at F.
shares() {
    od -An -v -td2 -w2 | awk -v rate="$rate" -v freqs="$1" '
        { x[n++] = $1 }
        END {
            for (i = 0; i < n; i++) energy += x[i] * x[i]
            k = split(freqs, f, " ")
            for (j = 1; j <= k; j++) {
                c = 2 * cos(2 * 3.141592653589793 * f[j] / rate); s1 = s2 = 0
                for (i = 0; i < n; i++) { s0 = x[i] + c * s1 - s2; s2 = s1; s1 = s0 }
                printf "%s %.2f\n", f[j], energy ? (s1 * s1 + s2 * s2 - c * s1 * s2) / (energy * n / 2) : 0
            }
        }'
}

# dominant <raw: the strongest of the test's frequencies.
dominant() {
    shares "1000 1125 2000 3000" | sort -k2 -n | tail -n 1 | cut -d' ' -f1
}

# The processes whose environment holds VAR=VALUE. grep runs with an empty environment and
# nothing else is started, so that the search does not find itself.
processes_with() {
    local file
    for file in $(env -i /bin/grep -lsF "$1" /proc/[0-9]*/environ); do
        file=${file#/proc/}
        echo "${file%%/*}"
    done
}

# Every process of a server started in DIR (and each of its tones) has its runtime folder there.
processes_of() {
    processes_with "XDG_RUNTIME_DIR=$1/xdg"
}

server=${QUARL_SOUND_SERVER:-pulseaudio}
started_at=$EPOCHREALTIME
bash "$scripts/sound.sh" start "$state" >/dev/null || { echo "FAIL: $server did not start" >&2; exit 1; }
echo "$server started in $(awk -v a="$started_at" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }') s"
. "$state/sound.env"

# One second of the default source: the tone, neither faster than real time (a source that
# is not paced by the server's clock) nor held back for long.
started_at=$EPOCHREALTIME
record $rate >"$state/default.raw"
took=$(awk -v a="$started_at" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.2f", b - a }')
[[ $(stat -c %s "$state/default.raw") == $((rate * 2)) ]] || fail "one second of the default source did not arrive"
[[ $(dominant <"$state/default.raw") == 1000 ]] || fail "the default source does not play 1000 Hz"
awk -v t="$took" 'BEGIN { exit !(t >= 0.8 && t <= 2.5) }' || fail "one second of sound took $took s"

# Two more inputs, the second made the default.
bash "$scripts/sound.sh" tone-input tonesrc 1000 || fail "tone-input tonesrc"
bash "$scripts/sound.sh" tone-input other_input 2000 || fail "tone-input other_input"
order=$(pactl list short sources | awk '$2 == "tonesrc" || $2 == "other_input" { printf "%s ", $2 }')
[[ $order == "tonesrc other_input " ]] || fail "sources listed as '$order', not tonesrc before other_input"
pactl set-default-source other_input
[[ $(record 4000 | dominant) == 2000 ]] || fail "the default other_input is not recorded"

# While recording, the default becomes the monitor of a sink with a third tone.
bash "$scripts/sound.sh" tone-sink third 3000 || fail "tone-sink third"
record $((3 * rate)) >"$state/follow.raw" &
recorder=$!
sleep 1
pactl set-default-source third.monitor
wait "$recorder"
[[ $(head -c 4000 "$state/follow.raw" | dominant) == 2000 ]] || fail "the recording did not start on other_input"
[[ $(tail -c 4000 "$state/follow.raw" | dominant) == 3000 ]] || fail "the recording did not follow the default to third.monitor"

# A second tone into the default input's sink, and away again.
bash "$scripts/sound.sh" tone second 1125 quarl_tone || fail "tone second"
mixed=$(record 4000 quarl_input | shares "1000 1125" | awk '$2 >= 0.3 { n++ } END { print n + 0 }')
[[ $mixed == 2 ]] || fail "quarl_input does not carry both 1000 and 1125 Hz"
bash "$scripts/sound.sh" remove second || fail "remove second"
# The first half second may still hold sound from before the remove: PipeWire's
# remapped quarl_input, a loopback underneath, keeps some in its buffer.
[[ $(record 8000 quarl_input | tail -c 8000 | shares 1125 | cut -d' ' -f2) == 0.00 ]] ||
    fail "1125 Hz stayed after remove"
bash "$scripts/sound.sh" remove tonesrc || fail "remove tonesrc"
pactl list short sources | grep -qw tonesrc && fail "tonesrc is still listed after remove"

# Requests that would reach outside the server's folder or make nonsense are refused.
touch "$state/keep"
for request in "remove ../keep" "remove ." "tone-sink a/b 1000" "tone-sink bad 0" \
    "tone-input bad 24000" "tone-input bad 1e3" "tone second 1000 no_such_sink"; do
    # shellcheck disable=SC2086 # the request's words are the arguments
    bash "$scripts/sound.sh" $request 2>/dev/null && fail "sound.sh $request was accepted"
done
[[ -f "$state/keep" ]] || fail "a refused request removed a file outside its tones"
QUARL_SOUND_SERVER=jack bash "$scripts/sound.sh" start "$state/jack" 2>/dev/null &&
    fail "an unknown QUARL_SOUND_SERVER was accepted"

# The stop after a test killed the pulse server still stops the rest and every tone.
pid=$(bash "$scripts/sound.sh" server-pid)
case $(cat "/proc/$pid/comm" 2>/dev/null) in
pulseaudio | pipewire-pulse) kill -KILL "$pid" ;;
*) fail "server-pid gave $pid, not the pulse server" ;;
esac
bash "$scripts/sound.sh" stop "$state"
left=$(processes_of "$state")
[[ -z $left ]] || fail "processes left after stop: $left"

# The wrappers that the tests run in: the server that QUARL_SOUND_SERVER names, the pulse
# server's PID for the tests that signal it, and nothing left once the command has ended.
case $server in
pipewire) wanted="PulseAudio (on PipeWire *)" ;;
*) wanted=pulseaudio ;;
esac
seen=$(bash "$scripts/with-services.sh" bash -c \
    'echo "$QUARL_SERVICES_DIR"; pactl info | sed -n "s/^Server Name: //p"; echo "${DISPLAY:-none}"' |
    tail -n 3)
{ read -r dir && read -r name && read -r display; } <<<"$seen"
# shellcheck disable=SC2053 # wanted is a pattern
[[ $name == $wanted ]] || fail "with-services.sh ran on '$name', not $server"
[[ $display == :* ]] || fail "with-services.sh gave no display"
left=$(processes_with "QUARL_SERVICES_DIR=$dir")
[[ -n $dir && -z $left ]] || fail "processes left after with-services.sh: $left"
seen=$(bash "$(dirname "$0")/with_private_pulse.sh" bash -c \
    'echo "$QUARL_SOUND_DIR"; cat "/proc/$QUARL_TEST_PULSE_PID/comm"')
{ read -r dir && read -r name; } <<<"$seen"
[[ $name == pulseaudio || $name == pipewire-pulse ]] ||
    fail "QUARL_TEST_PULSE_PID named '$name', not the pulse server"
left=$(processes_of "$dir")
[[ -n $dir && -z $left ]] || fail "processes left after with_private_pulse.sh: $left"

# A PipeWire start that fails half way (here pipewire-pulse ends at once) stops what it
# started before.
if [[ $server == pipewire ]]; then
    broken=$(mktemp -d)
    mkdir "$broken/bin"
    printf '#!/bin/sh\nexit 1\n' >"$broken/bin/pipewire-pulse"
    chmod +x "$broken/bin/pipewire-pulse"
    PATH=$broken/bin:$PATH bash "$scripts/pipewire.sh" start "$broken/state" >/dev/null 2>&1 &&
        fail "pipewire.sh start succeeded without pipewire-pulse"
    left=$(processes_of "$broken/state")
    [[ -z $left ]] || fail "processes left after a failed start: $left"
    bash "$scripts/pipewire.sh" stop "$broken/state" >/dev/null 2>&1
    rm -rf "$broken"
fi

((failures == 0)) && echo "all checks passed on $server"
exit $((failures > 0))

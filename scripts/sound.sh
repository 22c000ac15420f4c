#!/usr/bin/env bash
# The private sound server for running and testing Quarl, and test tones on it, the same way
# on PulseAudio (scripts/pulse.sh) and on PipeWire (scripts/pipewire.sh).
#
#   sound.sh start STATE_DIR     start the server that QUARL_SOUND_SERVER names (pulseaudio, the
#                                default, or pipewire); clients then do: . STATE_DIR/sound.env
#   sound.sh stop STATE_DIR      stop it and every tone, by their PIDs (safe to repeat)
#
# With the environment of sound.env (QUARL_SOUND_DIR says which server):
#
#   sound.sh tone-input NAME FREQ  a source NAME that plays FREQ Hz and looks like a microphone
#   sound.sh tone-sink NAME FREQ   a sink NAME that plays FREQ Hz; record it from NAME.monitor
#   sound.sh tone NAME FREQ SINK   FREQ Hz played into the existing SINK as well, e.g. a second
#                                  tone into the default input's quarl_tone
#   sound.sh remove NAME           take away what one of the three made
#   sound.sh server-pid            the process that libpulse clients talk to: the PulseAudio
#                                  daemon, or pipewire-pulse (for tests that stop or kill it)
#   sound.sh server-pids           every process of the server, one "PID NAME" a line (for
#                                  measuring what the server costs; the tones are not counted)
#
# The default source after start is quarl_input (1000 Hz) on both; the sinks and sources made
# here are mono at 48000/s and are listed after the ones made before them.
set -euo pipefail

script_dir=$(cd "$(dirname "$0")" && pwd)
. "$script_dir/service-lib.sh"
. "$script_dir/tone-lib.sh"

usage() {
    echo "usage: $0 start|stop STATE_DIR | tone-input NAME FREQ | tone-sink NAME FREQ |" \
        "tone NAME FREQ SINK | remove NAME | server-pid | server-pids (see its head)" >&2
    exit 2
}

state_dir_of_server() {
    if [[ -z "${QUARL_SOUND_DIR:-}" || ! -f "$QUARL_SOUND_DIR/sound.env" ]]; then
        echo "sound.sh: no private sound server in this environment (. STATE_DIR/sound.env)" >&2
        exit 1
    fi
    echo "$QUARL_SOUND_DIR"
}

# The server's processes with their PID files, the pulse protocol's first.
server_processes() {
    case $1 in
    pulseaudio) echo pulseaudio:pulse.pid ;;
    pipewire) echo pipewire-pulse:pipewire-pulse.pid pipewire:pipewire.pid \
        wireplumber:wireplumber.pid dbus-daemon:dbus-daemon.pid ;;
    esac
}

# Below half of the tones' 48000/s.
frequency_ok() {
    if [[ $1 =~ ^[0-9]+(\.[0-9]+)?$ ]] && awk -v f="$1" 'BEGIN { exit !(f > 0 && f < 24000) }'; then
        return 0
    fi
    echo "sound.sh: FREQ must be a number of Hz below 24000, not '$1'" >&2
    return 1
}

# name_ok NAME STATE_DIR new|old: NAME names a tone that is not there yet, or one that is.
name_ok() {
    tone_valid_key "$1" || {
        echo "sound.sh: NAME may hold letters, digits, '_', '.' and '-', not '$1'" >&2
        return 1
    }
    if [[ $3 == old ]]; then
        [[ -d "$2/tones/$1" ]] || {
            echo "sound.sh: no tone named $1" >&2
            return 1
        }
        return 0
    fi
    [[ ! -d "$2/tones/$1" ]] || {
        echo "sound.sh: there is a tone named $1 already" >&2
        return 1
    }
}

command=${1:-}
case "$command" in
start | stop)
    [[ $# -eq 2 ]] || usage
    mkdir -p "$2"
    state_dir=$(cd "$2" && pwd)
    ;;
tone-input | tone-sink)
    [[ $# -eq 3 ]] || usage
    state_dir=$(state_dir_of_server)
    name_ok "$2" "$state_dir" new
    frequency_ok "$3"
    ;;
tone)
    [[ $# -eq 4 ]] || usage
    state_dir=$(state_dir_of_server)
    name_ok "$2" "$state_dir" new
    frequency_ok "$3"
    ;;
remove)
    [[ $# -eq 2 ]] || usage
    state_dir=$(state_dir_of_server)
    name_ok "$2" "$state_dir" old
    ;;
server-pid | server-pids)
    [[ $# -eq 1 ]] || usage
    state_dir=$(state_dir_of_server)
    ;;
*) usage ;;
esac
# The commands that need the server run with its client environment.
if [[ -f "$state_dir/sound.env" ]]; then
    . "$state_dir/sound.env"
    if [[ $QUARL_SOUND_SERVER == pulseaudio ]]; then tone_drain_sink=quarl_drain; fi
fi

case "$command" in
start)
    server=${QUARL_SOUND_SERVER:-pulseaudio}
    case $server in
    pulseaudio)
        bash "$script_dir/pulse.sh" start "$state_dir"
        env_file=pulse.env
        ;;
    pipewire)
        bash "$script_dir/pipewire.sh" start "$state_dir"
        env_file=pipewire.env
        ;;
    *)
        echo "sound.sh: QUARL_SOUND_SERVER must be pulseaudio or pipewire, not '$server'" >&2
        exit 2
        ;;
    esac
    {
        cat "$state_dir/$env_file"
        printf 'export QUARL_SOUND_SERVER=%q\n' "$server"
        printf 'export QUARL_SOUND_DIR=%q\n' "$state_dir"
    } >"$state_dir/sound.env"
    ;;
stop)
    tone_stop_all "$state_dir"
    # Both: each stops only what its own PID files name.
    bash "$script_dir/pulse.sh" stop "$state_dir"
    bash "$script_dir/pipewire.sh" stop "$state_dir"
    rm -f "$state_dir/sound.env"
    ;;
tone-sink)
    if ! tone_sink "$state_dir" "$2" "$2" "$3"; then
        tone_remove "$state_dir" "$2"
        exit 1
    fi
    ;;
tone-input)
    # A null sink of its own with the tone, its monitor remapped into an ordinary source.
    if ! tone_sink "$state_dir" "$2" "$2_tone" "$3" ||
        ! tone_load "$state_dir" "$2" module-remap-source source_name="$2" \
            master="$2_tone.monitor" channels=1 channel_map=mono \
            source_properties=device.description="$2"; then
        tone_remove "$state_dir" "$2"
        exit 1
    fi
    ;;
tone)
    if ! tone_play "$state_dir" "$2" "$3" "$4"; then
        tone_remove "$state_dir" "$2"
        exit 1
    fi
    ;;
remove)
    tone_remove "$state_dir" "$2"
    ;;
server-pid | server-pids)
    for process in $(server_processes "$QUARL_SOUND_SERVER"); do
        pid_file=$state_dir/${process#*:} service_comm=${process%%:*}
        if ! pid=$(kept_pid); then
            echo "sound.sh: $service_comm of $state_dir is not running" >&2
            exit 1
        fi
        if [[ $command == server-pid ]]; then
            echo "$pid"
            break
        fi
        echo "$pid $service_comm"
    done
    ;;
esac

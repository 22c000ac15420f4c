# Test tones on the private sound servers, sourced by sound.sh and pipewire.sh.
#
# A tone is FREQ Hz played into a sink by an ordinary client of the server: sox synthesises it
# and pacat plays it. The same lines then work on PulseAudio and on PipeWire's pulse server,
# which has no module-sine. The server takes the samples at its own clock's pace, so recorders
# get the tone steadily however fast sox could write.
#
# What a tone starts is kept under STATE_DIR/tones/KEY: the PIDs of its two processes and the
# indices of the modules loaded for it, in load order, so that tone_remove and tone_stop_all
# stop exactly those.
#
# The caller has sourced service-lib.sh and set the environment of the server's clients
# (XDG_RUNTIME_DIR, PULSE_SERVER, ...).

tone_rate=48000
# The amplitude of PulseAudio's module-sine (half of full scale): every tone reads the same
# level on both servers, and two of them mixed in one sink do not clip.
tone_volume=0.5
# Long enough for the session manager to link a new stream on a loaded machine.
tone_link_timeout_s=5
# On PulseAudio, a sink that nobody records renders 2 s at a time, and a recording that starts
# on its monitor waits up to 2 s for the first sound. A loopback from every tone sink's
# monitor into this sink (quarl-test.pa's quarl_drain) keeps each of them at the real pace.
# PipeWire runs a null sink at the graph's pace from the start: empty there.
tone_drain_sink=

tone_valid_key() {
    [[ $1 =~ ^[A-Za-z0-9_][A-Za-z0-9_.-]*$ ]]
}

# tone_load STATE_DIR KEY MODULE [ARG...]: loads a module for the tone KEY and keeps its index.
tone_load() {
    local dir=$1/tones/$2 index
    shift 2
    mkdir -p "$dir"
    index=$(pactl load-module "$@") || {
        echo "tone: pactl load-module $* failed" >&2
        return 1
    }
    echo "$index" >>"$dir/modules"
}

# The index of the sink that the tone KEY's stream plays into (an invalid index, 4294967295,
# while it is linked to none).
tone_sink_index_of() {
    pactl list sink-inputs 2>/dev/null | awk -v name="quarl-tone-$1" '
        /^Sink Input #/ { sink = "" }
        /^[ \t]*Sink: / { sink = $2 }
        /^[ \t]*media\.name = / { v = $0; sub(/^[^"]*"/, "", v); sub(/"$/, "", v); if (v == name) print sink }'
}

tone_stop_player() {
    local dir=$1 pid_file service_comm service_label
    # pacat first: sox then ends on its own at the next write into the closed pipe.
    for service_comm in pacat sox; do
        pid_file=$dir/$service_comm.pid
        service_label="tone $(basename "$dir"): $service_comm"
        stop_service
    done
}

# tone_play STATE_DIR KEY FREQ SINK: FREQ Hz into SINK, as the stream "quarl-tone-KEY".
tone_play() {
    local dir=$1/tones/$2 key=$2 freq=$3 sink=$4 sink_index attempt deadline
    mkdir -p "$dir"
    sink_index=$(pactl list short sinks | awk -v name="$sink" '$2 == name { print $1 }')
    if [[ -z "$sink_index" ]]; then
        echo "tone $key: no sink named $sink" >&2
        return 1
    fi
    # WirePlumber 0.4.13 was seen to leave a new stream unlinked for good (once in a few dozen
    # streams); a second stream is linked at once.
    for attempt in 1 2; do
        rm -f "$dir/fifo"
        mkfifo "$dir/fifo"
        # -D: no dither, a clean tone like module-sine's. Written to standard output: sox
        # opens a named output file for reading too, and would then wait for ever on a full
        # pipe instead of ending when pacat does.
        sox -q -D -n -t raw -r "$tone_rate" -c 1 -b 16 -e signed-integer - \
            synth sine "$freq" vol "$tone_volume" </dev/null >"$dir/fifo" 2>>"$dir/log" &
        echo $! >"$dir/sox.pid"
        pacat --playback --raw --format=s16le --rate="$tone_rate" --channels=1 \
            --device="$sink" --client-name="quarl-tone-$key" --stream-name="quarl-tone-$key" \
            <"$dir/fifo" >>"$dir/log" 2>&1 &
        echo $! >"$dir/pacat.pid"
        deadline=$((SECONDS + tone_link_timeout_s))
        while ((SECONDS < deadline)); do
            [[ "$(tone_sink_index_of "$key")" == "$sink_index" ]] && return 0
            sleep 0.1
        done
        tone_stop_player "$dir"
    done
    echo "tone $key: the stream of $freq Hz was not linked to $sink within" \
        "${tone_link_timeout_s} s, twice; log: $dir/log" >&2
    return 1
}

# tone_sink STATE_DIR KEY SINK FREQ: a mono null sink SINK playing FREQ Hz; its monitor is
# SINK.monitor.
tone_sink() {
    local state_dir=$1 key=$2 sink=$3 freq=$4
    tone_load "$state_dir" "$key" module-null-sink sink_name="$sink" rate="$tone_rate" \
        channels=1 channel_map=mono sink_properties=device.description="$sink" || return 1
    if [[ -n "$tone_drain_sink" ]]; then
        tone_load "$state_dir" "$key" module-loopback source="$sink.monitor" \
            sink="$tone_drain_sink" source_dont_move=true sink_dont_move=true || return 1
    fi
    tone_play "$state_dir" "$key" "$freq" "$sink"
}

# tone_remove STATE_DIR KEY: stops the tone's player and unloads its modules, newest first.
tone_remove() {
    local dir=$1/tones/$2 index
    # The key ends up in rm -rf: never a path of its own.
    tone_valid_key "$2" || return 1
    [[ -d "$dir" ]] || return 0
    tone_stop_player "$dir"
    if [[ -f "$dir/modules" ]]; then
        for index in $(tac "$dir/modules"); do
            pactl unload-module "$index" || true
        done
    fi
    rm -rf "$dir"
}

# tone_stop_all STATE_DIR: stops every player (the modules go with the server).
tone_stop_all() {
    local dir
    for dir in "$1"/tones/*/; do
        [[ -d "$dir" ]] && tone_stop_player "${dir%/}"
    done
    return 0
}

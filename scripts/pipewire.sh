#!/usr/bin/env bash
# A private PipeWire, the sound server of Debian 12's desktops, with the same virtual
# microphone as scripts/pulse.sh: the default source quarl_input plays a 1000 Hz tone.
#
#   pipewire.sh start STATE_DIR   start it; clients then do: . STATE_DIR/pipewire.env
#   pipewire.sh stop STATE_DIR    stop it by the PIDs kept in STATE_DIR (safe to repeat)
#
# Four processes, kept by PID in STATE_DIR/<name>.pid: a session D-Bus (dbus-daemon),
# pipewire (the graph), wireplumber (the session manager, which links streams to the default
# source and moves them when the default changes) and pipewire-pulse, the pulse protocol that
# libpulse clients such as pactl, parec and Quarl talk to (STATE_DIR/pipewire-pulse.pid). A
# start that fails half way stops what it started.
#
# The configuration is ours (scripts/quarl-pipewire*.conf, quarl-wireplumber.*), the runtime,
# configuration and state folders are under STATE_DIR, and the session bus has no service
# folders, so the server neither sees nor disturbs a sound server or a desktop that the user
# may already run, nor starts anything we would not stop. Works as root (CI runs as root).
set -euo pipefail

script_dir=$(cd "$(dirname "$0")" && pwd)
. "$script_dir/service-lib.sh"
. "$script_dir/tone-lib.sh"

start_timeout_s=10
tone_sink_name=quarl_tone
source_name=quarl_input
tone_hz=1000
# In stop order: the pulse protocol first, the bus last.
services=(pipewire-pulse wireplumber pipewire dbus-daemon)

usage() {
    echo "usage: $0 start|stop STATE_DIR" >&2
    exit 2
}

# Starts one service in the background with nothing of the caller's sound or desktop
# settings, and keeps its PID.
launch() {
    local name=$1
    shift
    env -u PULSE_SERVER -u PULSE_SINK -u PULSE_SOURCE -u DISPLAY -u WAYLAND_DISPLAY \
        -u PIPEWIRE_REMOTE -u PIPEWIRE_RUNTIME_DIR -u PIPEWIRE_CONFIG_DIR \
        -u PIPEWIRE_CONFIG_PREFIX -u PIPEWIRE_CONFIG_NAME -u PIPEWIRE_LATENCY \
        -u PIPEWIRE_QUANTUM -u PIPEWIRE_RATE -u PIPEWIRE_PROPS -u PIPEWIRE_DEBUG \
        -u WIREPLUMBER_DATA_DIR -u WIREPLUMBER_MODULE_DIR \
        HOME="$run_dir" XDG_RUNTIME_DIR="$xdg_dir" XDG_CONFIG_HOME="$run_dir/config" \
        XDG_STATE_HOME="$run_dir/state" XDG_DATA_HOME="$run_dir/data" \
        DBUS_SESSION_BUS_ADDRESS="unix:path=$xdg_dir/bus" \
        WIREPLUMBER_CONFIG_DIR="$run_dir/wireplumber" \
        "$@" </dev/null >>"$run_dir/$name.log" 2>&1 &
    echo $! >"$state_dir/$name.pid"
}

stop_all() {
    local pid_file service_comm service_label
    tone_stop_all "$state_dir"
    for service_comm in "${services[@]}"; do
        pid_file=$state_dir/$service_comm.pid
        service_label="pipewire.sh: $service_comm"
        stop_service
    done
}

# Fails with the logs when a started service has gone.
check_alive() {
    local name pid
    for name in "$@"; do
        pid=$(<"$state_dir/$name.pid")
        if ! alive "$pid"; then
            echo "pipewire.sh: $name exited during start-up; its log ($run_dir/$name.log):" >&2
            tail -n 20 "$run_dir/$name.log" >&2
            return 1
        fi
    done
}

# wait_for WHAT COMMAND...: until COMMAND succeeds, while the started services run.
wait_for() {
    local what=$1 deadline=$((SECONDS + start_timeout_s))
    shift
    until "$@"; do
        check_alive "${started[@]}"
        if ((SECONDS >= deadline)); then
            echo "pipewire.sh: no $what within ${start_timeout_s} s; logs in $run_dir" >&2
            return 1
        fi
        sleep 0.1
    done
}

pulse_answers() {
    pactl info >/dev/null 2>&1
}

default_source_is() {
    [[ "$(pactl get-default-source 2>/dev/null)" == "$1" ]]
}

[[ $# -eq 2 ]] || usage
command=$1
mkdir -p "$2"
state_dir=$(cd "$2" && pwd)
run_dir=$state_dir/pipewire
env_file=$state_dir/pipewire.env
xdg_dir=$state_dir/xdg
socket=$xdg_dir/pulse/native
server=unix:$socket

case "$command" in
stop)
    stop_all
    exit 0
    ;;
start) ;;
*) usage ;;
esac

for name in "${services[@]}"; do
    pid_file=$state_dir/$name.pid service_comm=$name
    if pid=$(kept_pid); then
        echo "pipewire.sh: a $name from $state_dir is already running (PID $pid)" >&2
        exit 1
    fi
done
# A Unix socket path holds at most 107 bytes.
if ((${#socket} > 100)); then
    echo "pipewire.sh: state directory path too long for a socket: $socket" >&2
    exit 1
fi
for program in dbus-daemon pipewire wireplumber pipewire-pulse pactl parec pacat sox; do
    if ! command -v "$program" >/dev/null; then
        echo "pipewire.sh: $program is missing (run scripts/setup.sh)" >&2
        exit 1
    fi
done

# From here on, the client commands (pactl, parec, the tones) reach the private server only.
export XDG_RUNTIME_DIR=$xdg_dir PULSE_SERVER=$server PULSE_CLIENTCONFIG=$state_dir/client.conf
unset PULSE_SINK PULSE_SOURCE PIPEWIRE_REMOTE PIPEWIRE_RUNTIME_DIR

trap 'stop_all' EXIT
rm -rf "$run_dir"
mkdir -p "$xdg_dir" "$run_dir/config" "$run_dir/state" "$run_dir/data" \
    "$run_dir/wireplumber/main.lua.d"
chmod 700 "$xdg_dir"
printf 'autospawn = no\n' >"$state_dir/client.conf"

# The session bus: no <servicedir>, so nothing is started on demand behind our back.
cat >"$run_dir/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$xdg_dir/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
# WIREPLUMBER_CONFIG_DIR replaces every other configuration folder, so it holds Debian's
# fragments as they are plus ours.
cp -r /usr/share/wireplumber/main.lua.d /usr/share/wireplumber/policy.lua.d \
    "$run_dir/wireplumber/"
cp "$script_dir/quarl-wireplumber.conf" "$run_dir/wireplumber/"
cp "$script_dir/quarl-wireplumber.lua" "$run_dir/wireplumber/main.lua.d/60-quarl-test.lua"

started=()
launch dbus-daemon dbus-daemon --nofork --config-file="$run_dir/bus.conf"
started+=(dbus-daemon)
wait_for "session bus" test -S "$xdg_dir/bus"

launch pipewire pipewire -c "$script_dir/quarl-pipewire.conf"
started+=(pipewire)
wait_for "PipeWire socket" test -S "$xdg_dir/pipewire-0"

launch wireplumber wireplumber -c quarl-wireplumber.conf
started+=(wireplumber)
launch pipewire-pulse pipewire-pulse -c "$script_dir/quarl-pipewire-pulse.conf"
started+=(pipewire-pulse)
wait_for "answer from pipewire-pulse" pulse_answers

# The set-up of scripts/quarl-test.pa: the tone in a null sink, offered as an ordinary
# microphone (Qt 6.4 hides monitor sources) that is the default input.
tone_sink "$state_dir" "$tone_sink_name" "$tone_sink_name" "$tone_hz"
pactl load-module module-remap-source source_name="$source_name" \
    master="$tone_sink_name.monitor" channels=1 channel_map=mono \
    source_properties=device.description=Quarl_test_input >/dev/null
pactl set-default-sink "$tone_sink_name"
pactl set-default-source "$source_name"
wait_for "default source $source_name" default_source_is "$source_name"

# Proves that the session manager links a recording to the default source and that the tone
# arrives at the real pace: half a second of it must take at least 0.4 s. (A source that is not
# driven by the server's clock, such as a pipe, hands out whatever was written at once.)
warm_up=$run_dir/warm-up.raw
started_at=$EPOCHREALTIME
timeout 5 parec --raw --format=s16le --rate=8000 --channels=1 --latency-msec=64 2>/dev/null |
    head -c 8000 >"$warm_up" || true
took_ms=$(awk -v a="$started_at" -v b="$EPOCHREALTIME" 'BEGIN { printf "%d", (b - a) * 1000 }')
got=$(stat -c %s "$warm_up")
audible=$(tr -d '\0' <"$warm_up" | wc -c)
rm -f "$warm_up"
if ((got < 8000 || audible == 0 || took_ms < 400)); then
    echo "pipewire.sh: warm-up recording from the default source got $got bytes in" \
        "$took_ms ms, $audible of them not zero (want 8000 bytes of tone in 400 ms or more);" \
        "logs in $run_dir" >&2
    exit 1
fi

{
    echo "# Environment for clients of the private PipeWire in $state_dir"
    printf 'export XDG_RUNTIME_DIR=%q\n' "$xdg_dir"
    printf 'export PULSE_SERVER=%q\n' "$server"
    printf 'export PULSE_CLIENTCONFIG=%q\n' "$state_dir/client.conf"
    # These would steer streams away from the default source and sink, or native PipeWire
    # tools (pw-top, pw-dump) away from this server.
    echo 'unset PULSE_SOURCE PULSE_SINK PIPEWIRE_REMOTE PIPEWIRE_RUNTIME_DIR'
} >"$env_file"
trap - EXIT
echo "pipewire.sh: PipeWire running (pipewire-pulse PID $(<"$state_dir/pipewire-pulse.pid")," \
    "warm-up $took_ms ms), default source $source_name, env in $env_file"

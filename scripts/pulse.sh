#!/usr/bin/env bash
# A private PulseAudio daemon with a virtual microphone that plays a 1000 Hz tone, for running
# and testing Quarl on machines without a sound card (or without a sound server).
#
#   pulse.sh start STATE_DIR   start it; clients then do: . STATE_DIR/pulse.env
#   pulse.sh stop STATE_DIR    stop it by the PID kept in STATE_DIR/pulse.pid (safe to repeat)
#
# Everything the daemon and its clients touch lives under STATE_DIR, so it neither sees nor
# disturbs a sound server that the user may already run, whatever XDG_RUNTIME_DIR or
# PULSE_SERVER say in the caller's environment. Works as root (CI runs as root).
set -euo pipefail

. "$(dirname "$0")/service-lib.sh"
service_comm=pulseaudio
service_label='pulse.sh: daemon'

script_dir=$(cd "$(dirname "$0")" && pwd)
pa_file=$script_dir/quarl-test.pa
source_name=quarl_input
start_timeout_s=10

usage() {
    echo "usage: $0 start|stop STATE_DIR" >&2
    exit 2
}

# Runs a client command against the private daemon only.
client() {
    env -u PULSE_SINK -u PULSE_SOURCE XDG_RUNTIME_DIR="$xdg_dir" PULSE_SERVER="$server" \
        PULSE_CLIENTCONFIG="$state_dir/client.conf" "$@"
}
answers() {
    client pactl info >/dev/null 2>&1
}


[[ $# -eq 2 ]] || usage
command=$1
mkdir -p "$2"
state_dir=$(cd "$2" && pwd)
pid_file=$state_dir/pulse.pid
log_file=$state_dir/pulse.log
env_file=$state_dir/pulse.env
xdg_dir=$state_dir/xdg
socket=$xdg_dir/pulse/native
server=unix:$socket

case "$command" in
stop)
    stop_service
    exit 0
    ;;
start) ;;
*) usage ;;
esac

if pid=$(kept_pid); then
    echo "pulse.sh: a daemon from $state_dir is already running (PID $pid)" >&2
    exit 1
fi
# A Unix socket path holds at most 107 bytes.
if ((${#socket} > 100)); then
    echo "pulse.sh: state directory path too long for a socket: $socket" >&2
    exit 1
fi
if ! command -v pulseaudio >/dev/null || ! command -v pactl >/dev/null; then
    echo "pulse.sh: pulseaudio and pulseaudio-utils are needed (run scripts/setup.sh)" >&2
    exit 1
fi

mkdir -p "$xdg_dir" "$state_dir/state"
chmod 700 "$xdg_dir"
# Clients must never start a daemon of their own when ours is not there.
printf 'autospawn = no\n' >"$state_dir/client.conf"
: >"$log_file"

# As root, PulseAudio runs as a per-user daemon only with --system=no (it warns and goes on).
# No realtime or nice changes: there is nobody (rtkit) to grant them here. Without a display
# it cannot start a D-Bus daemon of its own that would outlive it.
env -u PULSE_SERVER -u DBUS_SESSION_BUS_ADDRESS -u DISPLAY -u WAYLAND_DISPLAY \
    XDG_RUNTIME_DIR="$xdg_dir" PULSE_RUNTIME_PATH="$xdg_dir/pulse" \
    PULSE_STATE_PATH="$state_dir/state" PULSE_CLIENTCONFIG="$state_dir/client.conf" \
    pulseaudio --system=no -n -F "$pa_file" --daemonize=no --exit-idle-time=-1 \
    --use-pid-file=no --realtime=no --high-priority=no \
    --log-target="file:$log_file" </dev/null >>"$log_file" 2>&1 &
pid=$!
echo "$pid" >"$pid_file"

ready=0
await_ready "$pid" "$start_timeout_s" answers || ready=$?
if ((ready == 1)); then
    echo "pulse.sh: the PulseAudio daemon exited during start-up; its log ($log_file):" >&2
    tail -n 20 "$log_file" >&2
    rm -f "$pid_file"
    exit 1
elif ((ready == 2)); then
    echo "pulse.sh: PulseAudio did not answer within ${start_timeout_s} s; its log ($log_file):" >&2
    tail -n 20 "$log_file" >&2
    stop_service
    exit 1
fi

# A line of the set-up that fails (a module missing or refusing its arguments) is only logged:
# the daemon runs on without it, and the tests would fail later and obscurely.
if grep -q '^E: ' "$log_file" || [[ "$(client pactl get-default-source)" != "$source_name" ]]; then
    echo "pulse.sh: the PulseAudio set-up from $pa_file failed; its log ($log_file):" >&2
    grep '^E: ' "$log_file" >&2 || true
    stop_service
    exit 1
fi

# The first recording after start-up waits about 2 s for the stream to settle; take that wait
# here so that the program and the tests see the tone at once.
# Also proves that the tone reaches the source: 512 samples of silence would mean a broken
# set-up.
warm_up=$state_dir/warm-up.raw
client timeout 5 parec -d "$source_name" --raw 2>/dev/null | head -c 1024 >"$warm_up" || true
got=$(stat -c %s "$warm_up")
audible=$(tr -d '\0' <"$warm_up" | wc -c)
rm -f "$warm_up"
if ((got < 1024 || audible == 0)); then
    echo "pulse.sh: warm-up recording from $source_name got $got bytes, $audible of them" \
        "not zero (want 1024 bytes of tone); log: $log_file" >&2
    stop_service
    exit 1
fi

{
    echo "# Environment for clients of the private PulseAudio in $state_dir"
    printf 'export XDG_RUNTIME_DIR=%q\n' "$xdg_dir"
    printf 'export PULSE_SERVER=%q\n' "$server"
    printf 'export PULSE_CLIENTCONFIG=%q\n' "$state_dir/client.conf"
    # These would steer streams away from the default source and sink.
    echo 'unset PULSE_SOURCE PULSE_SINK'
} >"$env_file"
echo "pulse.sh: PulseAudio running (PID $pid), default source $source_name, env in $env_file"

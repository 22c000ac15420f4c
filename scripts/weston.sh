#!/usr/bin/env bash
# A private Wayland compositor for running and testing Quarl as a Wayland client without a
# screen: weston on its headless backend (a 1024 x 768 output drawn in memory by the pixman
# renderer, no input devices), in a runtime folder of its own under a socket name of its own,
# so that it never meets a desktop's compositor.
#
#   weston.sh start STATE_DIR   start it; clients then do: . STATE_DIR/weston.env
#   weston.sh stop STATE_DIR    stop it by the PID kept in STATE_DIR/weston.pid (safe to repeat)
#
# weston.env sets WAYLAND_DISPLAY to the socket's full path (libwayland takes an absolute path
# there), so clients keep their own XDG_RUNTIME_DIR, the one of the private PulseAudio for
# instance. weston starts two helper clients of its own (the desktop shell's panel and the
# on-screen keyboard); they end with it.
set -euo pipefail

. "$(dirname "$0")/service-lib.sh"
service_comm=weston
service_label='weston.sh: weston'
start_timeout_s=10

usage() {
    echo "usage: $0 start|stop STATE_DIR" >&2
    exit 2
}

[[ $# -eq 2 ]] || usage
command=$1
mkdir -p "$2"
state_dir=$(cd "$2" && pwd)
pid_file=$state_dir/weston.pid
log_file=$state_dir/weston.log
env_file=$state_dir/weston.env
runtime_dir=$state_dir/wayland-runtime
socket_name=quarl-wayland-$$

case "$command" in
stop)
    stop_service
    exit 0
    ;;
start) ;;
*) usage ;;
esac

if pid=$(kept_pid); then
    echo "weston.sh: a weston from $state_dir is already running (PID $pid)" >&2
    exit 1
fi
command -v weston >/dev/null || {
    echo "weston.sh: weston is needed (run scripts/setup.sh)" >&2
    exit 1
}
mkdir -p "$runtime_dir"
chmod 700 "$runtime_dir"
: >"$log_file"

env -u WAYLAND_DISPLAY -u DISPLAY XDG_RUNTIME_DIR="$runtime_dir" \
    weston --backend=headless-backend.so --use-pixman --width=1024 --height=768 \
    --socket="$socket_name" --no-config --idle-time=0 --log="$log_file" \
    </dev/null >>"$log_file" 2>&1 &
pid=$!
echo "$pid" >"$pid_file"

# The socket appears once weston listens; the desktop shell is up a moment later, and a client
# that comes before it is still served.
socket=$runtime_dir/$socket_name
ready=0
await_ready "$pid" "$start_timeout_s" test -S "$socket" || ready=$?
if ((ready == 0)); then
    printf 'export WAYLAND_DISPLAY=%q\n' "$socket" >"$env_file"
    echo "weston.sh: weston running on $socket (PID $pid), env in $env_file"
    exit 0
elif ((ready == 2)); then
    echo "weston.sh: weston did not open $socket within ${start_timeout_s} s; log: $log_file" >&2
    tail -n 20 "$log_file" >&2
    stop_service
    exit 1
fi
echo "weston.sh: weston ended at start; log: $log_file" >&2
tail -n 20 "$log_file" >&2
rm -f "$pid_file"
exit 1

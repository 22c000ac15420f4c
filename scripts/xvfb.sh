#!/usr/bin/env bash
# A private virtual X display for running and testing Quarl without a screen.
#
#   xvfb.sh start STATE_DIR   start Xvfb on a free display; clients then do: . STATE_DIR/xvfb.env
#   xvfb.sh stop STATE_DIR    stop it by the PID kept in STATE_DIR/xvfb.pid (safe to repeat)
set -euo pipefail

. "$(dirname "$0")/service-lib.sh"
service_comm=Xvfb
service_label='xvfb.sh: Xvfb'

first_display=99
last_display=199
start_timeout_s=10

usage() {
    echo "usage: $0 start|stop STATE_DIR" >&2
    exit 2
}


# A display is taken when its lock file or its socket exists, even a stale one: another
# user's server may be starting right now.
display_free() {
    [[ ! -e /tmp/.X$1-lock && ! -e /tmp/.X11-unix/X$1 ]]
}

answers() {
    DISPLAY=$1 XAUTHORITY=/dev/null xdpyinfo >/dev/null 2>&1
}

[[ $# -eq 2 ]] || usage
command=$1
mkdir -p "$2"
state_dir=$(cd "$2" && pwd)
pid_file=$state_dir/xvfb.pid
log_file=$state_dir/xvfb.log
env_file=$state_dir/xvfb.env

case "$command" in
stop)
    stop_service
    exit 0
    ;;
start) ;;
*) usage ;;
esac

if pid=$(kept_pid); then
    echo "xvfb.sh: an Xvfb from $state_dir is already running (PID $pid)" >&2
    exit 1
fi
if ! command -v Xvfb >/dev/null || ! command -v xdpyinfo >/dev/null; then
    echo "xvfb.sh: Xvfb and xdpyinfo are needed (run scripts/setup.sh)" >&2
    exit 1
fi
: >"$log_file"

# Another server may grab the same number between our check and its start (it then exits at
# once with "server already active"), so a failed start moves on to the next number.
for ((n = first_display; n <= last_display; n++)); do
    display_free "$n" || continue
    # Without -noreset the server resets when its last client leaves and the next one fails.
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset </dev/null >>"$log_file" 2>&1 &
    pid=$!
    echo "$pid" >"$pid_file"
    ready=0
    await_ready "$pid" "$start_timeout_s" answers ":$n" || ready=$?
    case $ready in
    0)
        printf 'export DISPLAY=:%d\n' "$n" >"$env_file"
        echo "xvfb.sh: Xvfb running on :$n (PID $pid), env in $env_file"
        exit 0
        ;;
    2)
        echo "xvfb.sh: Xvfb on :$n did not answer within ${start_timeout_s} s; log: $log_file" >&2
        tail -n 20 "$log_file" >&2
        stop_service
        exit 1
        ;;
    esac
    rm -f "$pid_file"
done

echo "xvfb.sh: could not start Xvfb on any display :$first_display..:$last_display; log:" >&2
tail -n 20 "$log_file" >&2
exit 1

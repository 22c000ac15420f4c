# Shared by the service scripts (pulse.sh, pipewire.sh, xvfb.sh, weston.sh): a service kept by
# its PID in a file.
# The caller sets pid_file, service_comm (the process name to expect) and
# service_label (for messages).

# True while the process runs. A zombie counts as gone: in a container nobody may reap it.
alive() {
    local pid=$1 state
    [[ -r /proc/$pid/stat ]] || return 1
    state=$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null) || return 1
    [[ -n "$state" && "$state" != Z ]]
}

# The kept PID, if it still names our service (PIDs get reused after a crash or reboot).
kept_pid() {
    local pid
    [[ -f "$pid_file" ]] || return 1
    pid=$(<"$pid_file")
    [[ "$pid" =~ ^[0-9]+$ ]] || return 1
    alive "$pid" || return 1
    [[ "$(cat "/proc/$pid/comm" 2>/dev/null)" == "$service_comm" ]] || return 1
    echo "$pid"
}

# TERM, then KILL after three seconds; only ever the kept PID.
stop_service() {
    local pid
    if pid=$(kept_pid); then
        kill -TERM "$pid" 2>/dev/null || true
        for _ in $(seq 1 30); do
            alive "$pid" || break
            sleep 0.1
        done
        if alive "$pid"; then
            echo "$service_label $pid ignored TERM, killing it" >&2
            kill -KILL "$pid" 2>/dev/null || true
        fi
    fi
    rm -f "$pid_file"
}

# await_ready PID SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds (status 0),
# the process PID ends (1) or SECONDS have passed (2). The caller says what went wrong.
await_ready() {
    local pid=$1 deadline=$((SECONDS + $2))
    shift 2
    until "$@"; do
        alive "$pid" || return 1
        ((SECONDS < deadline)) || return 2
        sleep 0.1
    done
}

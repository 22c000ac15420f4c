# Shared by the end-to-end scripts that run the real program on the private display and sound
# server. The caller has set "title" (the main window's caption) and calls
#   program_setup "$@"     checks the arguments (QUARL_EXECUTABLE QUARL_XCLOSE) and the
#                          services, sets quarl, xclose and work (a scratch folder holding a copy
#                          of the program, so that its settings and pictures stay apart)
#   program_close          closes the main window as a window manager does, and checks that
#                          the program then exits with status 0
# and starts the program itself, keeping its PID in "pid"; a failure ends the script.

fail() {
    echo "FAIL: $*" >&2
    [[ -s "${work:-}/output.log" ]] && cat "$work/output.log" >&2
    exit 1
}

program_setup() {
    [[ $# -eq 2 ]] || fail "usage: $0 QUARL_EXECUTABLE QUARL_XCLOSE"
    quarl=$1
    xclose=$2
    [[ -n "${DISPLAY:-}" ]] || fail "DISPLAY is not set (scripts/test.sh starts a private Xvfb)"
    pactl info >/dev/null 2>&1 || fail "no PulseAudio server answers (scripts/test.sh starts one)"
    work=$(mktemp -d)
    pid=
    trap program_cleanup EXIT
    cp "$quarl" "$work/quarl"
}

program_cleanup() {
    [[ -n "$pid" ]] && kill -KILL "$pid" 2>/dev/null
    rm -rf "$work"
}

program_close() {
    "$xclose" "$title" 5 || fail "could not send WM_DELETE_WINDOW"
    for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "the program did not exit after the close request"
    wait "$pid"
    local status=$?
    pid=
    ((status == 0)) || fail "exit status $status"
}

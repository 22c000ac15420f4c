# Sourced by the measuring scripts (soak.sh, cpu.sh, latency.sh): runs a copy of the built
# program in a scratch folder with a settings file of our choosing, on the display and sound
# server that scripts/with-services.sh provides, and reads what /proc says of it. A copy, so
# that the measurement neither reads nor overwrites the settings beside the build's program.

. "$(dirname "${BASH_SOURCE[0]}")/settings-record.sh"

QUARL_TITLE="Quarl V2.01"
QUARL_DIALOG_TITLE="Quarl "

# Button bar of a window of the default width: the bar's middle row, counted from the client
# area's bottom, and the middle column of each speed button.
QUARL_BAR_FROM_BOTTOM=14
declare -A QUARL_BUTTON_X=([spectrum]=14 [waveform]=38 [sonagraph]=62 [settings]=154)

# quarl_start BUILD_DIR WORK_DIR VIEW RATE
# VIEW: 1000 spectrum, 2000 waveform, 3000 sonagraph. Every view at RATE with the bandwidth at
# half of it, a redraw per block ("Sampling Speed"), Sweep, no tracking, window 520 x 207 at
# the top left, both cursors on column 0 where they hide no part of the trace. Sets QUARL_PID and QUARL_WINDOW, and QUARL_XCLOSE for quarl_stop.
quarl_start() {
    local build=$1 work=$2 view=$3 rate=$4
    local bw=$((rate / 2))
    QUARL_XCLOSE=$build/tests/tools/quarl_xclose
    cp "$build/quarl" "$work/quarl"
    printf "$(settings_record "$view" 0 0 1 "$rate" "$rate" "$bw" "$rate" "$bw" 1 1 \
        '\x00\x00\x00\x00\x00\x00\x00\x00' "$bw" 0 0 207 520 0 0 100 1 0 1)" >"$work/quarl.cfg"
    QT_QPA_PLATFORM=xcb "$work/quarl" </dev/null >"$work/output.log" 2>&1 &
    QUARL_PID=$!
    # The window comes after the four-second splash.
    QUARL_WINDOW=$("$QUARL_XCLOSE" --wait "$QUARL_TITLE" 20) || {
        echo "no window \"$QUARL_TITLE\" appeared; program output:" >&2
        cat "$work/output.log" >&2
        return 1
    }
}

# quarl_stop: closes the window as a window manager does and waits for the program's end.
# Returns the program's exit status.
quarl_stop() {
    "$QUARL_XCLOSE" "$QUARL_TITLE" 5 >/dev/null || true
    local i status=0
    for i in $(seq 1 100); do
        kill -0 "$QUARL_PID" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$QUARL_PID" 2>/dev/null; then
        echo "the program did not end within 10 s of the close; killing it" >&2
        kill -KILL "$QUARL_PID" 2>/dev/null || true
    fi
    wait "$QUARL_PID" || status=$?
    return "$status"
}

# quarl_click_button NAME: clicks a speed button of the main window's button bar.
quarl_click_button() {
    local height
    height=$(xdotool getwindowgeometry "$QUARL_WINDOW" | awk -F'[x ]' '/Geometry/ {print $NF}')
    xdotool mousemove --window "$QUARL_WINDOW" "${QUARL_BUTTON_X[$1]}" \
        $((height - QUARL_BAR_FROM_BOTTOM)) click 1
}

# quarl_sonagraph_mode flow|sweep: opens the settings dialog, clicks "Flow" or "Sweep", and
# closes the dialog again. The dialog follows the screen's resolution: positions are those of
# its 120 pixels-per-inch layout, scaled.
quarl_sonagraph_mode() {
    quarl_click_button settings
    local dialog dpi
    dialog=$("$QUARL_XCLOSE" --wait "$QUARL_DIALOG_TITLE" 5) || return 1
    dpi=$(xdpyinfo | awk '/resolution:/ && !dpi {split($2, r, "x"); dpi = r[2]} END {print dpi}')
    local y=$([[ $1 == flow ]] && echo 229 || echo 256)
    xdotool mousemove --window "$dialog" $((198 * dpi / 120)) $((y * dpi / 120)) click 1
    "$QUARL_XCLOSE" "$QUARL_DIALOG_TITLE" 5 >/dev/null
}

# proc_cpu_ticks PID: user + system CPU time of a process so far, in clock ticks.
proc_cpu_ticks() {
    # The fields after the command name, which may hold blanks: utime and stime are the
    # 12th and 13th of them.
    local rest
    rest=$(sed 's/^.*) //' "/proc/$1/stat") || return 1
    awk '{print $12 + $13}' <<<"$rest"
}

# proc_sample PID: resident memory in KiB, open descriptors, threads.
proc_sample() {
    local rss threads fds
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$1/status")
    threads=$(awk '/^Threads:/ {print $2}' "/proc/$1/status")
    fds=$(find "/proc/$1/fd" -mindepth 1 -maxdepth 1 2>/dev/null | wc -l)
    echo "$rss $fds $threads"
}

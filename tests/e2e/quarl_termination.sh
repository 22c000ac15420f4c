#!/usr/bin/env bash
# End-to-end: the real program on X11 (the private Xvfb of scripts/with-services.sh) or as a
# Wayland client (a private weston on its headless backend, started and stopped here), on the
# private PulseAudio. Each case runs its own copy of the program in a scratch folder of its
# own; all of them run side by side, so the whole takes one splash and a few seconds:
#
#   TERM, INT   no settings file before. The splash, then the main window, recording; the
#               signal ends the program with status 0 and a freshly written 56-byte settings
#               file with the layout's left and top edges (281, 138).
#   HUP         a chosen settings file (window at 200, 100). Written anew at the signal (a new
#               file, not the old one touched) with exactly the bytes read. On Wayland, where
#               Qt reports the window at about -3, -30, that shows the edges read at start-up
#               kept and every other field written as usual.
#   KILL        a chosen settings file: after SIGKILL it is the same file, byte for byte.
#   SPLASH      TERM while the splash shows: the program ends at once (well before the main
#               window would come), with status 0, without a main window or a settings
#               file (nothing was read, so nothing is written).
#   DIALOG      X11 only: INT while the open dialog is up. The dialog is cancelled, the window
#               closes, status 0, the chosen settings written back as in HUP.
#
#   quarl_termination.sh x11|wayland QUARL_EXECUTABLE
#
# How the windows are seen:
#   X11: a viewable window of the program's process (_NET_WM_PID) with the exact title
#        (xdotool search).
#   Wayland: nothing outside the compositor can list its windows, so the program runs with
#        WAYLAND_DEBUG=client, and libwayland logs every request and event of the connection on
#        its stderr, with a time stamp in milliseconds. A window is shown when the compositor
#        sends wl_surface.enter (the surface is mapped onto the output) for the surface whose
#        xdg_toplevel got the window's title (set_title); it is hidden when that toplevel is
#        destroyed (Qt destroys a window's toplevel when the window hides). This is the
#        protocol itself, so it holds whatever the compositor draws.
#
# Needs the private PulseAudio (scripts/with-services.sh), and DISPLAY for x11. Wayland: when
# weston is missing or does not start, the test is skipped (status 77), except under CI
# (CI=true), where that is a failure.
set -uo pipefail

title="Quarl V2.01"
splash_title="About"
window_timeout_s=15     # each of splash and main window; the splash alone shows for 4 s
stream_timeout_s=10
exit_timeout_s=10
splash_exit_limit_ms=3000
settings_file_size=56
# Button bar of the main window: the row from the client area's bottom, the Open button's column.
bar_from_bottom=14
open_button_x=205

here=$(cd "$(dirname "$0")" && pwd)
scripts=$here/../../scripts
. "$scripts/settings-record.sh"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

[[ $# -eq 2 ]] || fail "usage: $0 x11|wayland QUARL_EXECUTABLE"
platform=$1
quarl=$2
[[ -x "$quarl" ]] || fail "program not found: $quarl"
pactl info >/dev/null 2>&1 ||
    fail "no PulseAudio server answers: scripts/with-services.sh starts a private one"

work=$(mktemp -d)
cleanup() {
    local f
    for f in "$work"/*/pid; do
        [[ -f "$f" ]] && kill -KILL "$(<"$f")" 2>/dev/null
    done
    [[ "$platform" == wayland ]] && bash "$scripts/weston.sh" stop "$work/weston" >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

case "$platform" in
x11)
    [[ -n "${DISPLAY:-}" ]] ||
        fail "DISPLAY is not set (scripts/with-services.sh starts a private Xvfb)"
    cases=(TERM INT HUP KILL SPLASH DIALOG)
    ;;
wayland)
    if ! bash "$scripts/weston.sh" start "$work/weston"; then
        [[ "${CI:-}" == true ]] && fail "weston does not start (scripts/setup.sh installs it)"
        echo "SKIP: weston does not start; install it with scripts/setup.sh"
        exit 77
    fi
    . "$work/weston/weston.env"
    # A dialog needs the pointer, and the headless backend has no input devices.
    cases=(TERM INT HUP KILL SPLASH)
    ;;
*) fail "unknown platform $platform (x11 or wayland)" ;;
esac

now_ms() { date +%s%3N; }

# Our own child: a zombie is not "running" any more, so look at its state, not just kill -0.
running() {
    local state
    state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
    [[ -n "$state" && "$state" != Z ]]
}

# "<ms> shown <title>" and "<ms> hidden <title>" for the program's windows, in order, from its
# WAYLAND_DEBUG log (see above). Object ids are reused: each new one overwrites the old.
wayland_windows() {
    awk '
        { t = $1; gsub(/[][]/, "", t) }
        /-> xdg_wm_base@[0-9]+\.get_xdg_surface\(/ {
            x = $0; sub(/.*new id xdg_surface@/, "", x); sub(/,.*/, "", x)
            s = $0; sub(/.*wl_surface@/, "", s); sub(/\).*/, "", s)
            surface_of_xdg[x] = s
        }
        /-> xdg_surface@[0-9]+\.get_toplevel\(/ {
            x = $0; sub(/.*-> xdg_surface@/, "", x); sub(/\..*/, "", x)
            top = $0; sub(/.*new id xdg_toplevel@/, "", top); sub(/\).*/, "", top)
            surface_of_top[top] = surface_of_xdg[x]
        }
        /-> xdg_toplevel@[0-9]+\.set_title\(/ {
            top = $0; sub(/.*-> xdg_toplevel@/, "", top); sub(/\..*/, "", top)
            name = $0; sub(/.*set_title\("/, "", name); sub(/"\)$/, "", name)
            title_of_top[top] = name
            awaiting[surface_of_top[top]] = name
        }
        !/->/ && / wl_surface@[0-9]+\.enter\(/ {
            s = $0; sub(/.*wl_surface@/, "", s); sub(/\..*/, "", s)
            if (s in awaiting) { print t, "shown", awaiting[s]; delete awaiting[s] }
        }
        /-> xdg_toplevel@[0-9]+\.destroy\(\)/ {
            top = $0; sub(/.*-> xdg_toplevel@/, "", top); sub(/\..*/, "", top)
            if (top in title_of_top) { print t, "hidden", title_of_top[top]; delete title_of_top[top] }
        }' "$1"
}

# The X window of process $1 with the exact title $2, if it is viewable. xdotool gives up when
# a window vanishes while it walks the tree (the other cases' programs come and go), so an
# empty answer is asked again a few times.
x11_window() {
    local window try
    for try in 1 2 3 4 5; do
        window=$(xdotool search --all --onlyvisible --pid "$1" --name "^$2\$" 2>/dev/null | head -1)
        [[ -n "$window" ]] && break
        sleep 0.05
    done
    echo "$window"
}

# True when the program of this case shows a window titled $1.
shown() {
    if [[ "$platform" == wayland ]]; then
        wayland_windows "$dir/output.log" | awk -v name="$1" '
            $2 == "shown" && substr($0, index($0, "shown ") + 6) == name { n++ }
            $2 == "hidden" && substr($0, index($0, "hidden ") + 7) == name { n-- }
            END { exit !(n > 0) }'
    else
        [[ -n $(x11_window "$pid" "$1") ]]
    fi
}

# Waits up to $2 seconds for the window titled $1; fails if the program ends first.
await_window() {
    local deadline=$((SECONDS + $2))
    until shown "$1"; do
        running "$pid" || fail "the program ended before \"$1\" showed"
        ((SECONDS < deadline)) || fail "no window \"$1\" within $2 s"
        sleep 0.1
    done
}

# "<source index> <corked>" of each stream that the program records.
stream_of_program() {
    pactl list source-outputs 2>/dev/null | awk -v pid="$pid" '
        /^Source Output #/ { source = ""; corked = "" }
        /^[ \t]*Source: / { source = $2 }
        /^[ \t]*Corked: / { corked = $2 }
        /application\.process\.id = / { gsub(/"/, "", $3); if ($3 == pid) print source, corked }'
}

await_recording() {
    local deadline=$((SECONDS + stream_timeout_s)) stream
    stream=$(stream_of_program)
    while [[ "$stream" != *" no" ]]; do
        ((SECONDS < deadline)) || fail "no running recording stream within ${stream_timeout_s} s ($stream)"
        sleep 0.2
        stream=$(stream_of_program)
    done
}

# Waits for the program's end after SIG$1; sets status to its exit status.
await_exit() {
    local deadline=$((SECONDS + exit_timeout_s))
    while running "$pid"; do
        ((SECONDS < deadline)) || fail "the program still runs ${exit_timeout_s} s after SIG$1"
        sleep 0.05
    done
    status=0
    wait "$pid" || status=$?
}

# A record the program writes back unchanged: spectrum view at 8000/s, cursors 50 and 100,
# gains 1, averaging 1, the window 520 x 200 at ($1, $2).
chosen_record() {
    settings_record 1000 50 100 1 8000 8000 4000 8000 4000 1 1 "$SETTINGS_BINWIDTH_8000" 4000 \
        "$2" "$1" 200 520 0 0 100 1 0 0
}

# One case, in $work/$1, in the background of the script: reports in $work/$1/result.
run_case() {
    name=$1
    dir=$work/$name
    local signal=$name at=main preset=
    case "$name" in
    HUP) preset=$(chosen_record 200 100) ;;
    KILL) preset=$(chosen_record 200 100) ;;
    SPLASH) signal=TERM at=splash ;;
    # Below every other case's window, so that the click finds this one.
    DIALOG) signal=INT at=dialog preset=$(chosen_record 0 520) ;;
    esac
    settings=$dir/quarl.cfg
    cp "$quarl" "$dir/quarl"
    if [[ -n "$preset" ]]; then
        printf "$preset" >"$settings"
        cp "$settings" "$dir/chosen.cfg"
        [[ $(stat -c %s "$settings") -eq $settings_file_size ]] || fail "the chosen record is not 56 bytes"
    fi
    local before_inode=
    [[ -n "$preset" ]] && before_inode=$(stat -c %i "$settings")

    # A shell starts a background command with SIGINT ignored, and the program leaves a signal
    # that it finds ignored alone (as under nohup): start it with the three at their defaults,
    # as from a desktop or a terminal.
    local launch=(env --default-signal=TERM,INT,HUP)
    if [[ "$platform" == wayland ]]; then
        launch+=(-u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client)
    else
        launch+=(-u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb)
    fi
    : >"$dir/output.log"
    "${launch[@]}" "$dir/quarl" </dev/null >"$dir/output.log" 2>&1 &
    pid=$!
    echo "$pid" >"$dir/pid"

    await_window "$splash_title" "$window_timeout_s"
    if [[ "$at" == splash ]]; then
        local sent
        sent=$(now_ms)
        kill -TERM "$pid"
        local took
        await_exit TERM
        took=$(($(now_ms) - sent))
        ((status == 0)) || fail "exit status $status after SIGTERM during the splash"
        ((took <= splash_exit_limit_ms)) || fail "the program took $took ms to end during the splash"
        [[ "$platform" == wayland ]] && wayland_windows "$dir/output.log" | grep -qF " shown $title" &&
            fail "the main window showed although the splash was ended"
        [[ -e "$settings" ]] && fail "a settings file was written although none was read"
        echo "ended $took ms after SIGTERM during the splash, status 0, nothing written" >"$dir/result"
        return
    fi

    await_window "$title" "$window_timeout_s"
    if [[ "$platform" == wayland ]]; then
        # The splash showed about four seconds, and the main window only after it.
        wayland_windows "$dir/output.log" | awk -v splash="$splash_title" -v main="$title" '
            { name = $0; sub(/^[^ ]+ [^ ]+ /, "", name) }
            $2 == "shown" && name == splash && !s { s = $1 }
            $2 == "hidden" && name == splash && !h { h = $1 }
            $2 == "shown" && name == main && !m { m = $1 }
            END {
                printf "splash shown %.0f ms, main window %.0f ms after it\n", h - s, m - s
                exit !(s && h && m && h - s >= 3000 && m >= h)
            }' >"$dir/splash.txt" || fail "splash and main window out of order: $(<"$dir/splash.txt")"
    fi
    await_recording

    if [[ "$at" == dialog ]]; then
        local window height
        window=$(x11_window "$pid" "$title")
        height=$(xdotool getwindowgeometry "$window" | awk -F'[x ]' '/Geometry/ {print $NF}')
        xdotool mousemove --window "$window" "$open_button_x" $((height - bar_from_bottom)) click 1
        await_window Open 10
    fi

    kill "-$signal" "$pid"
    await_exit "$signal"
    if [[ "$signal" == KILL ]]; then
        ((status == 128 + 9)) || fail "exit status $status after SIGKILL"
        cmp -s "$dir/chosen.cfg" "$settings" || fail "SIGKILL changed the settings file"
        [[ $(stat -c %i "$settings") == "$before_inode" ]] || fail "SIGKILL replaced the settings file"
        echo "killed; the settings file is as it was" >"$dir/result"
        return
    fi
    ((status == 0)) || fail "exit status $status after SIG$signal"
    [[ -f "$settings" ]] || fail "no settings file after SIG$signal"
    local size
    size=$(stat -c %s "$settings")
    ((size == settings_file_size)) || fail "the settings file has $size bytes"
    if [[ -n "$preset" ]]; then
        [[ $(stat -c %i "$settings") != "$before_inode" ]] ||
            fail "the settings file was not written anew at SIG$signal"
        if ! cmp -s "$dir/chosen.cfg" "$settings"; then
            echo "read:" >&2
            od -An -tx1 "$dir/chosen.cfg" >&2
            echo "written:" >&2
            od -An -tx1 "$settings" >&2
            fail "the settings written at SIG$signal differ from those read"
        fi
    else
        local edges
        edges=$(od -An -tu2 -j 36 -N 4 "$settings" | tr -s ' ')
        [[ "$edges" == " 138 281" ]] || fail "top and left written as$edges, not 138 281"
    fi
    echo "SIG$signal$([[ "$at" == dialog ]] && echo ' with the open dialog up'): status 0," \
        "settings written$([[ -n "$preset" ]] && echo ' back unchanged')" >"$dir/result"
}

runners=()
for c in "${cases[@]}"; do
    mkdir -p "$work/$c"
    (run_case "$c") 2>"$work/$c/failure" &
    runners+=($!)
done
failed=0
for i in "${!cases[@]}"; do
    c=${cases[$i]}
    if wait "${runners[$i]}" && [[ -s "$work/$c/result" ]]; then
        echo "$platform $c: $(<"$work/$c/result")$([[ -s "$work/$c/splash.txt" ]] && echo "; $(<"$work/$c/splash.txt")")"
    else
        failed=1
        echo "$platform $c: $(cat "$work/$c/failure")" >&2
        if [[ -s "$work/$c/output.log" ]]; then
            echo "--- program output (last 20 lines) ---" >&2
            tail -n 20 "$work/$c/output.log" >&2
        fi
    fi
done
exit "$failed"

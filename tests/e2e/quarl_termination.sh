#!/usr/bin/env bash
# quarl_termination.sh x11|wayland QUARL_EXECUTABLE: SIGTERM, SIGINT and SIGHUP end the program as
# the operator's close does (status 0, settings written anew), SIGKILL leaves the file as it was;
# each after the splash and the main window have shown and the program records.
# x11: the Xvfb and PulseAudio of scripts/with-services.sh; wayland: a private headless weston
# started here, skipped (77) where it cannot start, but failed under CI.
set -uo pipefail

scripts=$(dirname "$0")/../../scripts
. "$scripts/settings-record.sh"
platform=$1 quarl=$2 work=$(mktemp -d) pid='' signal=''
cfg=$work/quarl.cfg
fail() {
    echo "FAIL: $platform${signal:+ SIG$signal}: $*" >&2
    [[ -s $work/log ]] && tail -n 5 "$work/log" >&2
    exit 1
}
cleanup() {
    [[ -n $pid ]] && kill -KILL "$pid" 2>/dev/null
    [[ -d $work/weston ]] && bash "$scripts/weston.sh" stop "$work/weston" >/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
pactl info >/dev/null 2>&1 || fail "no PulseAudio server answers (scripts/with-services.sh)"

# A shell starts background commands with SIGINT ignored, and the program leaves an ignored
# signal alone (as under nohup): the three go back to their defaults, as on a desktop.
launch=(env --default-signal=TERM,INT,HUP -u DISPLAY -u WAYLAND_DISPLAY)
if [[ $platform == x11 ]]; then
    launch+=(DISPLAY="${DISPLAY:?not set (scripts/with-services.sh)}" QT_QPA_PLATFORM=xcb)
elif bash "$scripts/weston.sh" start "$work/weston" >/dev/null; then
    . "$work/weston/weston.env"
    # libwayland then logs every request, the windows' titles (xdg_toplevel.set_title) too.
    launch+=(WAYLAND_DISPLAY="$WAYLAND_DISPLAY" QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=client)
else
    [[ ${CI:-} == true ]] && fail "weston does not start (scripts/setup.sh installs it)"
    echo "SKIP: weston does not start; scripts/setup.sh installs it" && exit 77
fi

shown() { # a window titled $1
    if [[ $platform == wayland ]]; then grep -qF "set_title(\"$1\")" "$work/log"; else
        [[ -n $(xdotool search --all --onlyvisible --pid "$pid" --name "^$1\$" 2>/dev/null) ]]; fi
}
recording() { # a record stream of the program, not corked
    pactl list source-outputs | awk -v pid="\"$pid\"" '/^Source Output/ { c = "" } /Corked:/ { c = $2 }
        $1 == "application.process.id" && $3 == pid && c == "no" { f = 1 } END { exit !f }'
}
ended() { [[ $(cut -d' ' -f3 "/proc/$pid/stat" 2>/dev/null) =~ ^Z?$ ]]; }
await() { # until "$@" holds, at most 15 s
    local deadline=$((SECONDS + 15))
    until "$@"; do ((SECONDS < deadline)) && sleep 0.1 || fail "no $* within 15 s"; done
}

# Spectrum view at 8000/s, cursors 50 and 100, the window 520 x 200 at 200, 100: the program
# writes it back unchanged. SIGTERM starts without a file and must write the layout's 281, 138.
record=$(settings_record 1000 50 100 1 8000 8000 4000 8000 4000 1 1 "$SETTINGS_BINWIDTH_8000" \
    4000 100 200 200 520 0 0 100 1 0 0)
cp "$quarl" "$work/quarl"
for signal in TERM INT HUP KILL; do
    [[ $signal == TERM ]] || printf "$record" >"$cfg" # TERM comes first, without a file
    inode=$(stat -c %i "$cfg" 2>/dev/null)
    "${launch[@]}" "$work/quarl" </dev/null >"$work/log" 2>&1 &
    pid=$!
    await shown About && await shown "Quarl V2.01" && await recording
    kill "-$signal" "$pid" && await ended
    wait "$pid"
    status=$? pid=
    if [[ $signal == KILL ]]; then
        ((status == 137)) && [[ $(stat -c %i "$cfg") == "$inode" ]] && cmp "$cfg" <(printf "$record") ||
            fail "status $status, or the settings file was changed"
    else
        ((status == 0)) || fail "exit status $status"
        [[ $(stat -c %s "$cfg") == 56 && $(stat -c %i "$cfg") != "$inode" ]] || fail "no new settings"
        if [[ $signal == TERM ]]; then
            [[ $(od -An -tu2 -j 36 -N 4 "$cfg") == "   138   281" ]] || fail "not stored at 281, 138"
        else
            cmp "$cfg" <(printf "$record") || fail "the settings read were not written back"
        fi
    fi
    echo "$platform SIG$signal: ok"
done

#!/usr/bin/env bash
# End-to-end round trip of the settings file: a chosen quarl.cfg beside the
# program is applied at start-up (the capture runs at the stored rate) and
# written back unchanged when the window is closed the way a window manager
# closes it.
#
#   quarl_settings.sh QUARL_EXECUTABLE QUARL_XCLOSE
set -uo pipefail

title="Quarl V2.01"

. "$(dirname "$0")/program-lib.sh"
program_setup "$@"

# Spectrum view at 22050/s with 8000 Hz, the sonagraph at 22050/8000, the
# waveform at 11025; cursors 63 and 240; averaging 10; gains 20 and 30; the
# window 500 x 300 at (200, 100); Flow; CW tracking; refresh interval 150 ms
# with "Sampling Speed" checked; neither Nyquist nor trigger. BinWidth is what
# 22050/s gives, and the mark cursor already stands where CW tracking puts it
# for the test tone (1000 Hz peaks in bin 23, column Round(23 x 2.75625) = 63),
# so the program writes back exactly these 56 bytes.
record='\xe8\x03\x3f\x00\xf0\x00\x0a\x00\x11\x2b\x22\x56\x40\x1f\x22\x56'
record+='\x40\x1f\x14\x00\x1e\x00\x00\x00\x00\x00\x00\x00\x80\x88\x45\x40'
record+='\x40\x1f\x00\x00\x64\x00\xc8\x00\x2c\x01\xf4\x01\x01\x00\x88\x13'
record+='\x96\x00\x01\x00\x00\x00\x00\x00'
printf "$record" >"$work/chosen.cfg"
[[ $(stat -c %s "$work/chosen.cfg") -eq 56 ]] || fail "the chosen record is not 56 bytes"
cp "$work/chosen.cfg" "$work/quarl.cfg"

QT_QPA_PLATFORM=xcb "$work/quarl" </dev/null >"$work/output.log" 2>&1 &
pid=$!
window=$("$xclose" --wait "$title" 15) || fail "no window titled \"$title\""

# The stored view's rate is the one recorded at.
rate=
for _ in $(seq 1 50); do
    rate=$(pactl list source-outputs 2>/dev/null | awk -v pid="$pid" '
        /^Source Output #/ { format = "" }
        /^[ \t]*Sample [[:alpha:]]+: / { format = $NF }
        /application\.process\.id = / { gsub(/"/, "", $3); if ($3 == pid) print format }')
    [[ -n "$rate" ]] && break
    sleep 0.1
done
[[ "$rate" == 22050Hz ]] || fail "recording at '$rate', expected 22050Hz"
geometry=$(xdotool getwindowgeometry "$window" 2>/dev/null | tr -d '\n')
echo "window: $geometry; recording at $rate"

program_close

if ! cmp "$work/chosen.cfg" "$work/quarl.cfg"; then
    echo "chosen:" >&2
    od -An -tx1 "$work/chosen.cfg" >&2
    echo "written back:" >&2
    od -An -tx1 "$work/quarl.cfg" >&2
    fail "the settings written back differ from those read"
fi
echo "settings written back unchanged"

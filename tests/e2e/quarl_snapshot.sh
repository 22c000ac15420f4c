#!/usr/bin/env bash
# End-to-end check of the splash, a snapshot and the viewer, on the real program with the
# private display and sound server, driven with the mouse and keyboard as a user would:
#  - the about window shows first and the main window follows it about four seconds later;
#  - freeze, save through the save dialog (a name typed, Enter), and find Images/<name>.Spec.bmp
#    beside the program: 32 bits per pixel, the display's size, the 1000 Hz tone at column
#    128, the three annotation lines in black, green and red, every fourth byte 0;
#  - open it through the open dialog: the viewer shows at the picture's size.
# Screenshots of each step are left in the working folder (e2e_*.png).
#
#   quarl_snapshot.sh QUARL_EXECUTABLE QUARL_XCLOSE
set -uo pipefail

title="Quarl V2.01"
name=snap
# Main window layout (client pixels): the button bar is the bottom 28 rows, the read-out row
# the 27 above it; a first start (no settings file) keeps the layout's 27-row cursor strip.
bar_height=28
readout_height=27
strip_height=27
freeze_x=473
save_x=180
open_x=205
# The viewer: the picture plus 20 across and 50 down, counted with the 8 x 32 frame.
viewer_extra_w=$((20 - 8))
viewer_extra_h=$((50 - 32))

. "$(dirname "$0")/program-lib.sh"
program_setup "$@"
shots=$PWD

now_ms() { date +%s%3N; }
visible() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
# Client geometry of a window: sets X, Y, WIDTH, HEIGHT.
geometry() { eval "$(xdotool getwindowgeometry --shell "$1")"; }
click_at() {
    xdotool mousemove --sync "$1" "$2" click 1
    sleep 0.3
}
# Types into the dialog titled $1 and presses Enter.
type_into() {
    local dialog
    dialog=$("$xclose" --wait "$1" 10) || fail "no \"$1\" dialog"
    xdotool windowfocus --sync "$dialog" 2>/dev/null
    sleep 0.5
    xdotool type --delay 20 "$2"
    sleep 0.5
    import -window root "$shots/$3"
    xdotool key Return
}

QT_QPA_PLATFORM=xcb "$work/quarl" </dev/null >"$work/output.log" 2>&1 &
pid=$!

# The splash first, alone.
"$xclose" --wait About 10 >/dev/null || fail "no splash window titled \"About\""
splash_ms=$(now_ms)
[[ -z $(visible "$title") ]] || fail "the main window shows together with the splash"
import -window root "$shots/e2e_splash.png"
main=$("$xclose" --wait "$title" 15) || fail "no main window after the splash"
elapsed=$(($(now_ms) - splash_ms))
echo "main window $elapsed ms after the splash showed"
((elapsed >= 3000 && elapsed <= 7000)) || fail "the main window came $elapsed ms after the splash, not about 4000"
[[ -z $(visible About) ]] || fail "the splash is still shown"

# Let the tone reach the display, freeze it and save it.
sleep 2
geometry "$main"
bar_y=$((Y + HEIGHT - bar_height + 3 + 11))
display_w=$WIDTH
display_h=$((HEIGHT - bar_height - readout_height - strip_height))
click_at $((X + freeze_x)) "$bar_y"
click_at $((X + save_x)) "$bar_y"
type_into "Save As" "$name" e2e_save_dialog.png
bmp=$work/Images/$name.Spec.bmp
for _ in $(seq 1 50); do
    [[ -s "$bmp" ]] && break
    sleep 0.1
done
[[ -s "$bmp" ]] || fail "no $bmp after the save"
sleep 0.3

# The header: BM, file size, 54-byte offset, 40-byte info header, size, 1 plane, 32 bits, BI_RGB.
u32() { od -An -tu4 -j "$1" -N4 "$bmp" | tr -d ' '; }
u16() { od -An -tu2 -j "$1" -N2 "$bmp" | tr -d ' '; }
[[ $(head -c2 "$bmp") == BM ]] || fail "not a BMP file"
w=$(u32 18)
h=$(u32 22)
echo "saved ${w} x ${h}, $(stat -c %s "$bmp") bytes"
((w == display_w && h == display_h)) || fail "the picture is $w x $h, the display $display_w x $display_h"
(($(u32 2) == 54 + 4 * w * h && $(stat -c %s "$bmp") == 54 + 4 * w * h)) || fail "wrong file size"
(($(u32 10) == 54 && $(u32 14) == 40 && $(u16 26) == 1 && $(u16 28) == 32 && $(u32 30) == 0)) ||
    fail "not a 54-byte header of a 32-bit BI_RGB bitmap"

# The pixels, bottom-up rows of blue, green, red, 0.
od -An -v -tu1 -w4 -j54 "$bmp" | awk -v w="$w" -v h="$h" '
    {
        x = (NR - 1) % w; y = h - 1 - int((NR - 1) / w)
        if ($4 != 0) reserved++
        if (y == 0 && $1 == 255 && $2 == 0 && $3 == 0) { top++; if (x < 126 || x > 130) stray++ }
        if (x >= w - 80) {
            if (y >= 5 && y < 20 && $1 == 0 && $2 == 0 && $3 == 0) black++
            if (y >= 25 && y < 40 && $1 == 0 && $2 == 128 && $3 == 0) green++
            if (y >= 45 && y < 60 && $1 == 0 && $2 == 0 && $3 == 255) red++
        }
    }
    END {
        printf "trace at the top row: %d pixels (%d away from column 128); annotation: %d black, %d green, %d red\n", top, stray, black, green, red
        if (reserved) { print "FAIL: " reserved " pixels with a non-zero fourth byte"; exit 1 }
        if (!top || stray) { print "FAIL: the 1000 Hz peak is not at column 128"; exit 1 }
        if (black < 20 || green < 20 || red < 20) { print "FAIL: an annotation line is missing"; exit 1 }
    }' || fail "the saved picture is wrong"

# Open it in the viewer.
click_at $((X + open_x)) "$bar_y"
type_into Open "$name.Spec.bmp" e2e_open_dialog.png
viewer=$("$xclose" --wait "Quarl Image Viewer" 10) || fail "the viewer did not show"
sleep 0.5
import -window root "$shots/e2e_viewer.png"
geometry "$viewer"
echo "viewer client ${WIDTH} x ${HEIGHT}"
((WIDTH == w + viewer_extra_w && HEIGHT == h + viewer_extra_h)) ||
    fail "viewer client $WIDTH x $HEIGHT for a $w x $h picture"

program_close
echo "splash, snapshot and viewer as expected"

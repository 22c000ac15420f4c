# Sourced by scripts that prepare a settings file: settings_record prints one 56-byte record as
# printf escapes (little-endian, the layout of quarl.cfg). Use: printf "$(settings_record ...)".
#
# Arguments, in the order of the file: mode mark space avg waverate sonarate sonabw specrate
# specbw specgain wavegain binwidth bwpos top left height width flow track interval
# samplingspeed nyquist trigger. binwidth is 8 bytes of a double as escapes ('\x00...'); flow,
# samplingspeed, nyquist and trigger are 0 or 1.

_u16() { printf '\\x%02x\\x%02x' $(($1 & 255)) $((($1 >> 8) & 255)); }
_u32() { _u16 $(($1 & 65535)); _u16 $((($1 >> 16) & 65535)); }

settings_record() {
    local r
    r="$(_u16 "$1")$(_u16 "$2")$(_u16 "$3")$(_u16 "$4")$(_u16 "$5")$(_u16 "$6")$(_u16 "$7")"
    r+="$(_u16 "$8")$(_u16 "$9")$(_u16 "${10}")$(_u16 "${11}")\\x00\\x00${12}$(_u32 "${13}")"
    r+="$(_u16 "${14}")$(_u16 "${15}")$(_u16 "${16}")$(_u16 "${17}")\\x0${18}\\x00$(_u16 "${19}")"
    r+="$(_u16 "${20}")\\x0${21}\\x0${22}\\x0${23}\\x00\\x00\\x00"
    printf '%s' "$r"
}

# Hz per FFT bin of the common rates, as the file keeps them (doubles, little-endian).
SETTINGS_BINWIDTH_8000='\x00\x00\x00\x00\x00\x40\x2f\x40'  # 15.625
SETTINGS_BINWIDTH_48000='\x00\x00\x00\x00\x00\x70\x57\x40' # 93.75

#!/usr/bin/env bash
# Writes the seed corpus of each fuzz target into fuzz/corpus/<target>/: a few
# small inputs made here, byte by byte, that reach the interesting paths at
# once. The corpus is kept in the repository; run this again after changing
# it. Needs bash and printf only.
set -euo pipefail
cd "$(dirname "$0")"

. ../scripts/settings-record.sh
seed() { mkdir -p "corpus/$1"; printf "$3" >"corpus/$1/$2"; }
record() { settings_record "$@"; }
bin15625=$SETTINGS_BINWIDTH_8000
bin9375=$SETTINGS_BINWIDTH_48000
s=fuzz_settings_record
seed $s defaults "$(record 1000 50 100 1 8000 8000 4000 8000 4000 1 1 "$bin15625" 4000 138 281 207 520 0 0 100 1 0 1)"
seed $s sona48k-nyquist-fsk "$(record 3000 128 144 100 48000 48000 24000 48000 24000 100 100 "$bin9375" 24000 0 0 600 520 1 4000 500 0 1 0)"
seed $s wave-odd-values "$(record 2000 65535 0 0 11025 22050 5512 44100 11025 250 0 "$bin15625" -1 65528 1001 0 65535 1 5000 0 1 1 1)"
seed $s short-55 "$(record 1000 50 100 1 8000 8000 4000 8000 4000 1 1 "$bin15625" 4000 138 281 207 520 0 0 100 1 0 1)"
truncate -s 55 corpus/$s/short-55
seed $s empty ''

# Read-out numbers: 8 bytes of a double, the precision, the separator.
f=fuzz_readout_format
seed $f mark-390.625 '\x00\x00\x00\x00\x00\x6a\x78\x40\x04\x00'   # 390.625, 4 digits
seed $f half-12.625 '\x00\x00\x00\x00\x00\x40\x29\x40\x04\x01'    # 12.625, 4 digits, comma
seed $f freq-80 '\x00\x00\x00\x00\x00\x00\x54\x40\x06\x00'        # 80, 6 digits
seed $f tiny-1e-4 '\x2d\x43\x1c\xeb\xe2\x36\x1a\x3f\x04\x00'      # 0.0001
seed $f big-1e5 '\x00\x00\x00\x00\x00\x6a\xf8\x40\x04\x00'        # 100000, 4 digits: scientific
seed $f nines '\x39\x45\x47\x72\xf9\xff\x23\x40\x04\x00'          # 9.99995, carries to 10
seed $f sci-arabic '\x00\x00\x00\x00\x00\x24\xfe\x40\x04\x02'     # 123456, 4 digits: 1٫235E+05 (U+066B)

# The settings file through the windows: the same records.
mkdir -p corpus/fuzz_settings_window
cp corpus/fuzz_settings_record/* corpus/fuzz_settings_window/

# Pictures: the first byte picks the extension (0 .bmp, 1 .dib, 2 .ico), the rest is the file.
u32le() { _u16 $(($1 & 65535)); _u16 $((($1 >> 16) & 65535)); }
# BITMAPINFOHEADER: width height bits compression image-size
info_header() {
    printf '%s' "$(u32le 40)$(u32le "$1")$(u32le "$2")$(_u16 1)$(_u16 "$3")$(u32le "$4")$(u32le "$5")"
    printf '%s' "$(u32le 2835)$(u32le 2835)$(u32le 0)$(u32le 0)"
}
pixels32='\x00\x00\xff\x00\x00\xff\x00\x00\xff\x00\x00\x00\xff\xff\xff\x00'  # 2 x 2
bmp32="BM$(u32le 70)$(u32le 0)$(u32le 54)$(info_header 2 2 32 0 16)$pixels32"
p=fuzz_picture_file
seed $p bmp-2x2x32 "\\x00$bmp32"
seed $p dib-2x2x32 "\\x01$bmp32"
seed $p bmp-1x1x24 "\\x00BM$(u32le 58)$(u32le 0)$(u32le 54)$(info_header 1 1 24 0 4)\\x00\\x80\\xff\\x00"
seed $p bmp-cut-short "\\x00BM$(u32le 70)$(u32le 0)$(u32le 54)$(info_header 2 2 32 0 16)\\x00\\x00"
seed $p bmp-huge-header "\\x00BM$(u32le 70)$(u32le 0)$(u32le 54)$(info_header 16777216 16777216 32 0 0)"
# An icon of one 2 x 2 image: directory, then the bitmap at twice the height with its mask.
seed $p ico-2x2x32 "\\x02$(_u16 0)$(_u16 1)$(_u16 1)\\x02\\x02\\x00\\x00$(_u16 1)$(_u16 32)$(u32le 64)$(u32le 22)$(info_header 2 4 32 0 24)$pixels32\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00"

# What a metafile converter hands back: bit 0 of the first byte, it reported success; bit 1, it
# wrote its file; the rest is that file.
m=fuzz_metafile_svg
svg='<svg xmlns="http://www.w3.org/2000/svg" width="20" height="10"><rect width="10" height="5" fill="red"/><text x="1" y="9">Q</text></svg>'
seed $m good "\\x03$svg"
seed $m success-no-file '\x01'
seed $m failed-with-file "\\x02$svg"
seed $m success-empty '\x03'
seed $m success-broken "\\x03<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"20\""
seed $m success-no-size '\x03<svg xmlns="http://www.w3.org/2000/svg"/>'
# Found by fuzz_settings_window: a 49-byte file (the defaults apply) whose bytes still set CW
# tracking, which the next start then turns on and which moves the mark cursor.
printf '\xd0\x00\x00\x00\x02\x00\x00\x00\x2f\x40\xff\x00\xc0\xd0\xbf\x00\x00\x00\xff\xf8\xff\xe9\x03\x00\x00\xff\xff\x01\x00\x88\x13\x00\x00\x01\x01\x01\x00\x00\x00\x03\x00\x00\xff\xff\x01\x00\x88\x13\x00' >corpus/fuzz_settings_window/short-49-cw-tracking

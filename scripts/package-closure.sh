#!/usr/bin/env bash
# What installing a Debian package brings onto a clean Debian 12: apt's resolver run in
# simulation against a made-up system that holds only the base of a minimal installation (the
# packages of priority required and what they need, as debootstrap's minbase installs them).
# Prints the number of packages and their installed size, without and with Recommends (apt
# installs those by default).
#
#   bash scripts/package-closure.sh PACKAGE.deb
set -euo pipefail

deb=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

: >"$work/empty"
apt-cache dumpavail >"$work/available"
required=$(awk -v RS= '/\nPriority: required|\nEssential: yes/' "$work/available" |
    awk '/^Package:/ {print $2}' | sort -u)
# shellcheck disable=SC2086
apt-get -s -o Dir::State::status="$work/empty" install --no-install-recommends $required 2>/dev/null |
    awk '/^Inst / {print $2}' | sort -u >"$work/base"
while read -r package; do
    # The stanza without its description (continuation lines begin with a blank).
    apt-cache show --no-all-versions "$package" | awk -v RS= 'NR == 1' |
        awk '/^Description/ {skip = 1; next} /^ / && skip {next} {skip = 0; print}'
    printf 'Status: install ok installed\n\n'
done <"$work/base" >"$work/status"

closure() {
    apt-get -s -o Dir::State::status="$work/status" install "$@" "$deb" 2>/dev/null |
        awk '/^Inst / {print $2}' | grep -vx quarl || true
}
for recommends in without with; do
    flags=()
    [[ $recommends == without ]] && flags=(--no-install-recommends)
    closure "${flags[@]}" >"$work/list"
    count=$(wc -l <"$work/list")
    kib=0
    while read -r package; do
        size=$(apt-cache show --no-all-versions "$package" | awk '/^Installed-Size:/ {print $2; exit}')
        kib=$((kib + ${size:-0}))
    done <"$work/list"
    printf '%-8s Recommends: %4d packages, %6.1f MiB installed\n' "$recommends" "$count" \
        "$(awk -v k="$kib" 'BEGIN {print k / 1024}')"
done

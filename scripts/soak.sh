#!/usr/bin/env bash
# A long run of the real program on a private PulseAudio and Xvfb at 48000 samples/s with a
# redraw per block, cycling every minute through the spectrum, the waveform, the sonagraph in
# Sweep and the sonagraph in Flow (in the first minute every 15 s, so that each view has made
# its pictures before the measuring starts). Every 10 s the resident memory, the open file descriptors and
# the threads go into a CSV (build/soak.csv). After the first minute the memory may grow by less
# than 1 MiB and the descriptors and threads must stay as they were; the exit status says
# whether they did. Descriptors and threads are compared at the end of each minute: painting
# the settings dialog's group boxes makes Qt's own thread pool start two threads (each with an
# event descriptor), which end by themselves 30 s later.
#
#   bash scripts/soak.sh MINUTES
set -euo pipefail

cd "$(dirname "$0")/.."
if [[ -z "${QUARL_SERVICES_DIR:-}" ]]; then
    exec bash scripts/with-services.sh bash "$0" "$@"
fi
minutes=${1:?usage: soak.sh MINUTES}
build=${QUARL_BUILD_DIR:-build}
csv=$build/soak.csv
. scripts/program-lib.sh

work=$(mktemp -d)
trap 'kill -KILL "$QUARL_PID" 2>/dev/null || true; rm -rf "$work"' EXIT
quarl_start "$build" "$work" 1000 48000

phases=(spectrum waveform sweep flow)
echo "seconds,view,rss_kib,fds,threads" >"$csv"
start=$SECONDS
end=$((start + minutes * 60))
phase=-1
while ((SECONDS < end)); do
    elapsed=$((SECONDS - start))
    if ((elapsed < 60)); then
        next=$((elapsed / 15))
    else
        next=$((elapsed / 60 % ${#phases[@]}))
    fi
    if ((next != phase)); then
        phase=$next
        case ${phases[phase]} in
        spectrum | waveform) quarl_click_button "${phases[phase]}" ;;
        sweep | flow)
            quarl_sonagraph_mode "${phases[phase]}"
            quarl_click_button sonagraph
            ;;
        esac
    fi
    read -r rss fds threads < <(proc_sample "$QUARL_PID")
    echo "$elapsed,${phases[phase]},$rss,$fds,$threads" >>"$csv"
    sleep $((10 - (SECONDS - start) % 10))
done
status=0
quarl_stop || status=$?

# The first minute holds the start-up's growth (fonts, caches, the stream settling).
awk -F, -v status="$status" '
    NR > 1 && $1 >= 60 {
        if (!base) base = $3
        if ($3 > top) top = $3
        n++
    }
    # The last sample of each minute, when the pool threads of the dialog have ended.
    NR > 1 && $1 >= 110 && $1 % 60 >= 50 {
        if (!counted) { fds = $4; thr = $5; counted = 1 }
        if ($4 != fds || $5 != thr) changed = changed sprintf(" at %ss: %s fds, %s threads;", $1, $4, $5)
    }
    END {
        growth = top - base
        printf "soak: %d samples after the first minute; memory %d -> max %d KiB (growth %d KiB); fds %s; threads %s; exit status %d\n", n, base, top, growth, fds, thr, status
        if (changed) print "soak: descriptors or threads changed:" changed
        ok = n > 0 && growth < 1024 && !changed && status == 0
        print ok ? "soak: PASS" : "soak: FAIL"
        exit ok ? 0 : 1
    }' "$csv"

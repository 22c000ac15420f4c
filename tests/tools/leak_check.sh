#!/usr/bin/env bash
# ExitQuietly leaves with _Exit, which skips a sanitizer build's leak check at
# exit: it must run the check itself. A leaking run fails with the report, a
# clean one keeps its own exit status.
#
#   leak_check.sh QUARL_EXIT_QUIETLY_LEAK
set -uo pipefail
program=$1
report=$(ASAN_OPTIONS=detect_leaks=1 "$program" leak 0 2>&1)
status=$?
if ((status == 0)) || [[ "$report" != *"LeakSanitizer: detected memory leaks"* ]]; then
    echo "FAIL: a leak went unreported (exit status $status):" >&2
    echo "$report" >&2
    exit 1
fi
ASAN_OPTIONS=detect_leaks=1 "$program" clean 7
status=$?
((status == 7)) || { echo "FAIL: a clean run exited with $status, not 7" >&2; exit 1; }
echo "leak reported, clean run kept its status"

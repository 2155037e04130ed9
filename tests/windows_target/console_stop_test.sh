#!/usr/bin/env bash
# Ctrl+C stops kalvero-run.exe cleanly: the running syntax file is ended
# with the server, nothing half-written is kept, the log names it and the
# file that never started as stopped, and the exit status is 130. Wine hands
# a Windows program Ctrl+C as the signal SIGINT, so the test runs from the
# Linux side.
#
#   console_stop_test.sh WINE_PREFIX.sh FOLDER KALVERO-RUN.exe
set -uo pipefail
prefix_script=$1 folder=$2 program=$3
if [ ! -f "$folder/ready" ]; then
    echo "Skipped: $(cat "$folder/unusable" 2>/dev/null || echo "no Wine prefix was made")"
    exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/kalvero stop XXXXXX")
run=""
failures=0

# The fake servers of this prefix that still run (Linux process ids).
servers() {
    local process
    for process in /proc/[0-9]*; do
        { tr '\0' ' ' <"$process/cmdline"; } 2>/dev/null | grep -q fake_automation_server &&
            { tr '\0' '\n' <"$process/environ"; } 2>/dev/null |
            grep -qx "WINEPREFIX=$folder/prefix" && echo "${process#/proc/}"
    done
}
finish() {
    [ -n "$run" ] && kill -KILL "$run" 2>/dev/null
    for pid in $(servers); do kill -KILL "$pid"; done
    rm -rf "$work"
}
trap finish EXIT
check() {
    if ! eval "$1"; then
        echo "FAILED: $2"
        failures=$((failures + 1))
    fi
}
windows() { echo "Z:${1//\//\\}"; }

printf 'LOOP.\r\n' >"$work/endless.sps"
printf 'LIST.\r\n' >"$work/next.sps"
export KALVERO_FAKE_JOURNAL=$(windows "$work/journal.txt") KALVERO_FAKE_FAULT="RunSyntaxFile 1 hang"
"$prefix_script" run "$folder" "$program" --log "$(windows "$work/run.log")" \
    "$(windows "$work/endless.sps")" "$(windows "$work/next.sps")" </dev/null \
    >"$work/output" 2>"$work/errors" &
run=$!
# Ctrl+C once the server is in the endless syntax file (bounded: 60 s).
for _ in $(seq 1200); do
    grep -q '^RunSyntaxFile(' "$work/journal.txt" 2>/dev/null && break
    sleep 0.05
done
check 'grep -q "^RunSyntaxFile(" "$work/journal.txt"' "the server never ran the syntax file"
kill -INT "$run"
# A clean stop takes a moment; one that never comes fails the test (60 s).
for _ in $(seq 1200); do
    kill -0 "$run" 2>/dev/null || break
    sleep 0.05
done
if kill -0 "$run" 2>/dev/null; then
    echo "FAILED: kalvero-run did not stop within 60 s of Ctrl+C"
    exit 1
fi
wait "$run"
status=$?
run=""

check '[ "$status" -eq 130 ]' "exit status $status, not 130"
check 'grep -q "The run was ended by Ctrl+C" "$work/errors"' "no message of the stop"
check 'grep -qP "endless\\.sps\t[^\t]*\t[^\t]*\t[^\t]*\tstopped\t" "$work/run.log"' \
    "the log does not say the running file was stopped"
check 'grep -qP "next\\.sps\t[^\t]*\t[^\t]*\t[^\t]*\tstopped\t" "$work/run.log"' \
    "the log does not say the next file never started"
check '[ ! -e "$work/endless.spo" ] && ! ls "$work" | grep -q "^~kalvero-"' \
    "an output or a temporary was left"
for _ in $(seq 200); do
    [ -z "$(servers)" ] && break
    sleep 0.05
done
check '[ -z "$(servers)" ]' "the server still runs: $(servers)"
if [ "$failures" -ne 0 ]; then
    echo "--- kalvero-run's messages:"
    cat "$work/errors"
    echo "--- the log:"
    cat "$work/run.log"
    exit 1
fi
echo "Ctrl+C stopped the batch cleanly"

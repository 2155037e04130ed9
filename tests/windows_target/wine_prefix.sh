#!/usr/bin/env bash
# The Wine side of the Windows target's tests: one private Wine prefix for a
# test run, with the fake automation server registered in it.
#
#   wine_prefix.sh setup FOLDER SERVER.exe   makes FOLDER/prefix, registers SERVER
#   wine_prefix.sh run FOLDER PROGRAM.exe... runs a Windows program in it
#   wine_prefix.sh end FOLDER                ends its wineserver, removes FOLDER
#
# No display is needed (Wine's null graphics driver); Mono and Gecko are not
# installed. Where Wine cannot start, setup says why in FOLDER/unusable and
# every step exits with 77, which ctest counts as skipped. KALVERO_WINE names
# another wine program (a missing one shows what happens without Wine).
#
# Setup also makes two small file systems for the tests' outputs (root only;
# otherwise FOLDER/volumes.unusable says why and the tests that need them are
# skipped): FOLDER/read-only, which holds "wave 1.sps" and takes no file, and
# FOLDER/full (1 MiB), which the tests fill.
set -uo pipefail
skip=77
action=$1 folder=$2
shift 2
export WINEPREFIX=$folder/prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine=${KALVERO_WINE:-wine}

unusable() {
    echo "$1" | tee "$folder/unusable"
    exit $skip
}

unmount_volumes() {
    for volume in "$folder/read-only" "$folder/full"; do
        mountpoint -q "$volume" 2>/dev/null && umount -l "$volume"
    done
}

make_volumes() {
    mkdir -p "$folder/read-only" "$folder/full"
    local why
    if ! why=$(mount -t tmpfs -o size=64k tmpfs "$folder/read-only" 2>&1) ||
        ! printf 'LIST.\r\n' >"$folder/read-only/wave 1.sps" ||
        ! why=$(mount -o remount,ro "$folder/read-only" 2>&1) ||
        ! why=$(mount -t tmpfs -o size=1m tmpfs "$folder/full" 2>&1); then
        echo "no small file systems can be mounted here: $why" >"$folder/volumes.unusable"
        unmount_volumes
    fi
}

case $action in
setup)
    unmount_volumes
    rm -rf --one-file-system "$folder" && mkdir -p "$folder" || exit 1
    command -v "$wine" >/dev/null || unusable "Wine is not installed (Debian packages wine, wine64)"
    started=$(date +%s%N)
    if ! log=$("$wine" wineboot --init 2>&1) || ! "$wine" reg add 'HKCU\Software\Wine\Drivers' \
        /v Graphics /d null /f >/dev/null 2>&1; then
        unusable "Wine cannot start here: $log"
    fi
    "$wine" "$1" /RegServer || { echo "The fake automation server cannot register itself"; exit 1; }
    make_volumes
    touch "$folder/ready"
    echo "Wine prefix made in $((($(date +%s%N) - started) / 1000000)) ms"
    ;;
run)
    if [ ! -f "$folder/ready" ]; then
        echo "Skipped: $(cat "$folder/unusable" 2>/dev/null || echo "no Wine prefix was made")"
        exit $skip
    fi
    exec "$wine" "$@"
    ;;
end)
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    unmount_volumes
    rm -rf --one-file-system "$folder"
    ;;
*)
    echo "usage: $0 setup|run|end FOLDER [...]" >&2
    exit 2
    ;;
esac

# shellcheck shell=bash
# Shell helpers of the Wine checks, sourced by tests/wine/*.sh and tools/ci-windows.sh.
#   wine_session             a virtual X display and a fresh 64-bit Wine prefix with one wine
#                            server, all removed again when the shell exits
#   fail WHAT                prints the failure and counts it in $failures
#   com_port DEV LINK        makes DEV (COM5) a serial port of Wine's own, naming LINK
#   start_pack NAME ARGS...  the pack simulator ($packsim) on a fresh pty behind $work/com5, its frame
#                            log in $work/NAME.log, its summary in $work/NAME.out
#   stop_pack                ends it (its summary is written then)
#   image_exact FILE OUT     whether OUT, the image the simulator rebuilt, is FILE byte for byte
#                            (then the zeros that fill its last packet)
#   winpath PATH             PATH as a Windows program names it (Z:\...)
failures=0
sim_pid=""
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

wine_session() {
    export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
    WINEPREFIX=$(mktemp -d /tmp/quorvane-wine.XXXXXX)
    local displayfile=$WINEPREFIX.display
    # Large enough for the window at 200 %.
    Xvfb -displayfd 3 -screen 0 2560x1600x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
    wine_xvfb_pid=$!
    trap wine_session_end EXIT
    for _ in $(seq 1 100); do
        [[ -s "$displayfile" ]] && break
        sleep 0.1
    done
    [[ -s "$displayfile" ]] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$displayfile")"
    # One wine server kept for all the tests (its output sent away: see docs/DEVELOPING.md).
    wineserver -p >/dev/null 2>&1
    timeout 300 wineboot -i >/dev/null 2>&1
}
wine_session_end() {
    [[ -n "$sim_pid" ]] && kill "$sim_pid" 2>/dev/null
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    kill "$wine_xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$WINEPREFIX" "$WINEPREFIX.display"
}

com_port() {
    # Wine reads its Ports setting when the server starts.
    wine reg add 'HKLM\Software\Wine\Ports' /v "$1" /d "$2" /f >/dev/null 2>&1
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    wineserver -p >/dev/null 2>&1
}

start_pack() {
    local name=$1
    shift
    rm -f "$work/com5"
    "$packsim" --link "$work/com5" --log "$work/$name.log" "$@" >"$work/$name.out" 2>&1 &
    sim_pid=$!
    for _ in $(seq 1 50); do
        [[ -e "$work/com5" ]] && return 0
        sleep 0.1
    done
    fail "$name: the simulator made no pty"
}
stop_pack() {
    [[ -n "$sim_pid" ]] || return 0
    kill -INT "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
}

image_exact() {
    python3 - "$1" "$2" <<'PY'
import sys
try:
    a = open(sys.argv[1], 'rb').read(); b = open(sys.argv[2], 'rb').read()
except OSError:
    sys.exit(1)
pad = len(b) - len(a)   # the last packet filled up with zeros
sys.exit(0 if 0 <= pad < 2048 and b[:len(a)] == a and b[len(a):] == bytes(pad) else 1)
PY
}

winpath() { echo "Z:$1" | tr / '\\'; }

# Seconds since $1 (a date +%s.%N), two decimals.
since() { python3 -c "import sys,time; print(f'{time.time() - float(sys.argv[1]):.2f}')" "$1"; }

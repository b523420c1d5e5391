# shellcheck shell=bash
# Shared by the end-to-end tests and scripts/demo (sourced, bash): a private X
# display, a Wine prefix of our own, and the processes started in them, all
# cleaned up by process id.

# The processes this shell started; stop_started ends those still running.
STARTED_PIDS=()

say() { printf '%s\n' "$*"; }
fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}

# When each process we started began, by process id: the ids are few (32768
# here) and a busy suite hands an ended process's id to another one soon.
declare -A START_TIMES=()

# start_time PID: when the process began, in clock ticks since boot.
start_time() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    stat=${stat##*) } # the name before it may hold blanks and parentheses
    # shellcheck disable=SC2086 # the fields, split on blanks
    set -- $stat
    printf '%s\n' "${20}"
}

# remember_start PID: from now on PID means that process alone.
remember_start() { START_TIMES[$1]=$(start_time "$1"); }

# A process that exists and has not ended (an ended child stays a zombie until
# waited for), and is still the one we started under that id.
alive() {
    [ -r "/proc/$1/status" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null &&
        { [ -z "${START_TIMES[$1]:-}" ] || [ "$(start_time "$1")" = "${START_TIMES[$1]}" ]; }
}

# wait_until SECONDS WHAT COMMAND...: runs COMMAND every 0.1 s until it succeeds.
wait_until() {
    local limit=$1 what=$2
    shift 2
    local deadline=$((SECONDS + limit))
    until "$@"; do
        if ((SECONDS >= deadline)); then
            printf 'timed out after %s s waiting for %s\n' "$limit" "$what" >&2
            return 1
        fi
        sleep 0.1
    done
}

# start_xvfb DIR [SCREEN]: a private display (800x600x24 unless SCREEN says
# otherwise) on a free number. Sets DISPLAY and XVFB_PID; the display number
# is also left in DIR/display. A display counts as started only once a client
# has reached our own server on it; otherwise that server is ended and another
# number tried.
start_xvfb() {
    local dir=$1 screen=${2:-800x600x24} attempt
    for attempt in 1 2 3 4 5; do
        try_xvfb "$dir" "$screen" "$attempt" && return 0
        stop_xvfb
    done
    fail "no Xvfb display could be reached by a client in 5 tries; see $dir/xvfb*.log"
}

# display_free N: nothing holds display N, nor is still letting it go: no lock
# file, no socket file and no abstract socket of that name. A server that is
# shutting down still answers on its abstract socket, and removes the files of
# a new server on its number once it ends.
display_free() {
    [ ! -e "/tmp/.X$1-lock" ] && [ ! -e "/tmp/.X11-unix/X$1" ] &&
        ! grep -q "@/tmp/.X11-unix/X$1\$" /proc/net/unix 2>/dev/null
}

# try_xvfb DIR SCREEN ATTEMPT: one server on a free number picked at random from
# 100 to 999, well away from the numbers that displays started in order take
# and let go again; fails when no client reached it within the deadline.
try_xvfb() {
    local dir=$1 screen=$2 log="$dir/xvfb.log" number
    (($3 == 1)) || log="$dir/xvfb-$3.log"
    until number=$((100 + RANDOM % 900)) && display_free "$number"; do :; done
    echo "$number" >"$dir/display"
    DISPLAY=":$number"
    export DISPLAY
    # -noreset: by default the server resets when its last client leaves, and a
    # client that arrives meanwhile (the program right after xdotool) is refused.
    Xvfb "$DISPLAY" -screen 0 "$screen" -nolisten tcp -noreset </dev/null >"$log" 2>&1 &
    XVFB_PID=$!
    remember_start "$XVFB_PID"
    local deadline=$((SECONDS + 30))
    # Ours once a client got through and the lock names our server.
    until xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 &&
        [ "$(tr -d ' ' 2>/dev/null <"/tmp/.X$number-lock")" = "$XVFB_PID" ]; do
        if ! alive "$XVFB_PID" || ((SECONDS >= deadline)); then
            say "no client reached our Xvfb on $DISPLAY; see $log" >&2
            return 1
        fi
        sleep 0.2
    done
}

# xvfb_refresh HZ: the display's screen switches to a mode of its own size
# that refreshes HZ times a second, as RandR reports it (Xvfb's own mode has
# no timings, so no rate). Needs xrandr and xdpyinfo.
xvfb_refresh() {
    local hz=$1 size width height
    size=$(xdpyinfo | sed -n 's/^ *dimensions: *\([0-9]*x[0-9]*\) .*/\1/p')
    width=${size%x*} height=${size#*x}
    [ -n "$width" ] && [ -n "$height" ] || return 1
    local htotal=$((width + 240)) vtotal=$((height + 29)) name="${size}_$hz" clock
    clock=$(awk -v h=$htotal -v v=$vtotal -v r="$hz" 'BEGIN { printf "%.4f", h * v * r / 1e6 }')
    xrandr --newmode "$name" "$clock" "$width" $((width + 40)) $((width + 120)) $htotal \
        "$height" $((height + 3)) $((height + 7)) $vtotal &&
        xrandr --addmode screen "$name" && xrandr --output screen --mode "$name"
}

# stop_xvfb: ends the Xvfb of start_xvfb and waits until it has gone.
stop_xvfb() {
    [ -n "${XVFB_PID:-}" ] && stop_pid "$XVFB_PID"
    XVFB_PID=
}

# wine_env PREFIX: the environment every Wine call of ours runs in.
wine_env() {
    export WINEPREFIX=$1
    export WINEDEBUG=-all
    # No Mono or Gecko install prompts: nothing of ours needs them.
    export WINEDLLOVERRIDES="mscoree,mshtml="
}

# make_prefix PREFIX LOG: a fresh prefix (see open_prefix).
make_prefix() {
    rm -rf "$1"
    open_prefix "$1" "$2"
}

# open_prefix PREFIX LOG: the prefix at PREFIX, created when missing, with a
# wineserver that stays up until stop_wine, and crash dialogs turned off so
# that a crash shows as an exit code.
open_prefix() {
    local prefix=$1 log=$2
    wine_env "$prefix"
    mkdir -p "$prefix"
    # Status 2: a wineserver already serves this prefix, which is as good.
    local status=0
    wineserver -p </dev/null >>"$log" 2>&1 || status=$?
    ((status == 0 || status == 2)) || fail "wineserver did not start; see $log"
    if [ ! -f "$prefix/system.reg" ]; then
        wineboot -i </dev/null >>"$log" 2>&1 || fail "wineboot could not create $prefix; see $log"
    fi
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        </dev/null >>"$log" 2>&1 || fail "cannot turn off Wine's crash dialog; see $log"
}

# stop_wine: ends every process of our prefix and waits until its wineserver
# has gone, so that nothing of ours still holds the display when we return.
stop_wine() {
    [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || return 0
    wineserver -k </dev/null >/dev/null 2>&1
    timeout 60 wineserver -w </dev/null >/dev/null 2>&1
    return 0
}

# stop_pid PID: asks a process of ours to end, then forces it.
stop_pid() {
    local pid=$1 tries=0
    alive "$pid" || return 0
    kill -TERM "$pid" 2>/dev/null
    while alive "$pid" && ((tries < 50)); do
        sleep 0.1
        tries=$((tries + 1))
    done
    alive "$pid" && kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    return 0
}

stop_started() {
    local pid
    for pid in "${STARTED_PIDS[@]}"; do stop_pid "$pid"; done
    STARTED_PIDS=()
}

# start LOG COMMAND...: runs COMMAND in the background with its output in LOG
# and no input; sets STARTED_PID.
start() {
    local log=$1
    shift
    "$@" </dev/null >"$log" 2>&1 &
    STARTED_PID=$!
    remember_start "$STARTED_PID"
    STARTED_PIDS+=("$STARTED_PID")
}

# await PID SECONDS: waits for a process we started to end; sets EXIT_CODE.
# shellcheck disable=SC2034 # EXIT_CODE is for the caller
# Fails (status 1) when it is still running after SECONDS.
await() {
    local pid=$1 deadline=$((SECONDS + $2))
    while alive "$pid"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
    EXIT_CODE=0
    wait "$pid" || EXIT_CODE=$?
    return 0
}

# x_viewable NAME: the X window of that name is mapped, so that keys and
# clicks sent now reach it (the input focus follows the pointer).
x_viewable() {
    xwininfo -name "$1" 2>/dev/null | grep -q 'Map State: IsViewable'
}

# await_window SECONDS NAME PID LOG: waits for the X window NAME of the program
# PID to be viewable; fails at once with the end of LOG when the program ended
# first (say, because it could not open the display).
await_window() {
    local deadline=$((SECONDS + $1))
    until x_viewable "$2"; do
        alive "$3" || fail "the program ended before its window $2 showed: $(tail -n 3 "$4" 2>/dev/null)"
        ((SECONDS < deadline)) || fail "no window $2 within $1 s; see $4"
        sleep 0.1
    done
}

# battle_beside_black BATTLE_X BLACK_X EFFECTS: two 800 x 600 monitors side by
# side on the root window. The one at BLACK_X must be black in every capture,
# the one at BATTLE_X must show the battle in one of six (an explosion may
# cover a tile in one). The captures are left as CASE_DIR/root-N.png.
battle_beside_black() {
    local try
    for try in 1 2 3 4 5 6; do
        xwd -root -silent >"$CASE_DIR/root.xwd" || fail "xwd cannot read the screen"
        convert "$CASE_DIR/root.xwd" "$CASE_DIR/root-$try.png" || fail "cannot convert the screen"
        convert "$CASE_DIR/root.xwd" -crop "800x600+$2+0" +repage "$CASE_DIR/black.ppm"
        convert "$CASE_DIR/root.xwd" -crop "800x600+$1+0" +repage "$CASE_DIR/battle.ppm"
        expect_eq "$(convert "$CASE_DIR/black.ppm" -format '%[fx:maxima]' info:)" 0 \
            "the brightest value on the monitor at x $2 (see $CASE_DIR/root-$try.png)"
        "$E2E_INSPECT" picture "$CASE_DIR/battle.ppm" "$3" >"$CASE_DIR/battle-$try.check" 2>&1 &&
            return 0
    done
    fail "the monitor at x $1 does not show the battle (see $CASE_DIR/root-*.png)"
}

# complete_file PATH BYTES: the file exists and has reached its full size.
complete_file() {
    [ -f "$1" ] && [ "$(stat -c %s "$1")" -ge "$2" ]
}

# wine_helper ARGS...: the Win32 helper of the end-to-end tests ($HELPER_EXE), its
# output through a file in $WORK so that no Wine process it starts can hold a
# pipe of ours open; its errors go to $LOG.
wine_helper() {
    local status=0
    wine "$HELPER_EXE" "$@" </dev/null >"$WORK/helper.out" 2>>"$LOG" || status=$?
    cat "$WORK/helper.out"
    return $status
}

# finish_session: ends what a script started: the saver, the prefix's Wine
# processes, its Xvfb.
finish_session() {
    stop_started
    stop_wine
    stop_xvfb
}

# What scripts/demo and scripts/framerate need built (scripts/build arguments).
# shellcheck disable=SC2034 # for the scripts that source this
DEMO_TARGETS=(windows/Kestrion windows/kestrion-e2e-helper native/kestrion-e2e-inspect)

# fleet_entry NAME COUNT DESCRIPTION: a fleet list entry as the configuration
# dialog writes it.
fleet_entry() { printf '%s (%s)  "%s"' "$1" "$2" "$3"; }

# configure_fleets PER_SIDE RACE...: that many ships a side in the registry of
# the prefix, the races ("NAME<tab>DESCRIPTION" each, as kestrion-e2e-inspect
# lists them) dealt out between the sides in turn and each side's ships spread
# over its races.
configure_fleets() {
    local per_side=$1 alliance
    shift
    local races=("$@")
    for alliance in 1 2; do
        local own=() r
        for ((r = alliance - 1; r < ${#races[@]}; r += 2)); do own+=("${races[r]}"); done
        local count=0 i
        ((per_side > 0)) && count=${#own[@]}
        wine_helper reg-set "NumList${alliance}Items" "$count" >/dev/null ||
            fail "cannot write the fleets; see $LOG"
        for ((i = 0; i < count; i++)); do
            local share=$((per_side / count + (i < per_side % count ? 1 : 0)))
            wine_helper reg-set "List${alliance}Item$i" \
                "$(fleet_entry "${own[i]%%$'\t'*}" "$share" "${own[i]#*$'\t'}")" >/dev/null ||
                fail "cannot write the fleets; see $LOG"
        done
    done
}

# shellcheck shell=bash
# The end-to-end cases of kestrion on Wayland (sourced by tests/wayland/run,
# bash). Each case_NAME function is one ctest test, wayland.NAME. The Linux
# cases' helpers and time-outs (tests/linux/cases.sh) are in scope.

# start_sway CONFIG_LINE...: a headless sway (pixman, no XWayland, one
# output per "output HEADLESS-N ..." line) as an unprivileged user, in a
# runtime folder of its own. Counts as started once swaymsg reached it; sets
# SWAY_PID, and AS_CLIENT: the command prefix that runs a client of it.
start_sway() {
    local tool
    for tool in sway swaymsg grim wtype convert; do
        command -v "$tool" >/dev/null || fail "$tool is not installed; run scripts/setup"
    done
    CASE_TEMP=$(mktemp -d /tmp/kestrion-wayland.XXXXXX)
    chmod 755 "$CASE_TEMP"
    RUNTIME="$CASE_TEMP/runtime" SHOTS="$CASE_TEMP/shots"
    mkdir -m 700 "$RUNTIME"
    mkdir "$SHOTS"
    AS_USER=()
    if [ "$(id -u)" -eq 0 ]; then
        chown nobody:nogroup "$RUNTIME" "$SHOTS"
        AS_USER=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    fi
    local outputs
    outputs=$(printf '%s\n' "$@" | grep -c '^output ')
    { echo "xwayland disable"; printf '%s\n' "$@"; } >"$CASE_TEMP/sway.conf"
    start "$CASE_DIR/sway.log" "${AS_USER[@]}" env -i HOME="$CASE_TEMP" XDG_RUNTIME_DIR="$RUNTIME" \
        PATH="$PATH" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_HEADLESS_OUTPUTS="$outputs" \
        WLR_LIBINPUT_NO_DEVICES=1 sway -c "$CASE_TEMP/sway.conf"
    SWAY_PID=$STARTED_PID
    wait_until "$START_SECONDS" "sway to answer swaymsg" sway_answers ||
        fail "no client reached sway; see $CASE_DIR/sway.log"
    "${AS_CLIENT[@]}" test -x "$LINUX_PROGRAM" -a -r "$LINUX_DATA/Explosion.as" ||
        fail "the unprivileged user cannot run $LINUX_PROGRAM or read $LINUX_DATA"
}

sway_answers() {
    alive "$SWAY_PID" || fail "sway ended at once; see $CASE_DIR/sway.log"
    local socket display
    socket=$(find "$RUNTIME" -name "sway-ipc.*.$SWAY_PID.sock" 2>/dev/null | head -n 1)
    display=$(find "$RUNTIME" -name 'wayland-*' ! -name '*.lock' -printf '%f\n' 2>/dev/null | head -n 1)
    [ -n "$socket" ] && [ -n "$display" ] || return 1
    AS_CLIENT=("${AS_USER[@]}" env -i HOME="$CASE_TEMP" XDG_RUNTIME_DIR="$RUNTIME" PATH="$PATH"
        WAYLAND_DISPLAY="$display" SWAYSOCK="$socket")
    "${AS_CLIENT[@]}" swaymsg -t get_outputs >"$CASE_DIR/outputs.json" 2>&1
}

# start_kestrion LOG OPTIONS...: kestrion as a client of the sway, run in the
# folder F12 writes to; sets KESTRION_PID.
start_kestrion() {
    local log=$1
    shift
    cd "$SHOTS" || fail "no folder $SHOTS"
    start "$CASE_DIR/$log" "${AS_CLIENT[@]}" "$LINUX_PROGRAM" "$@"
    KESTRION_PID=$STARTED_PID
    cd - >/dev/null || return 1
}

# picture_of OUTPUT FILE: the output's pixels as a binary PPM, taken with grim.
picture_of() {
    "${AS_CLIENT[@]}" grim -t ppm -o "$1" - >"$2" 2>>"$CASE_DIR/grim.log"
}

# battle_on OUTPUT FILE: a picture of the output shows the backdrop with ships.
battle_on() {
    alive "$KESTRION_PID" || fail "kestrion ended; see its log in $CASE_DIR"
    picture_of "$1" "$2" && "$E2E_INSPECT" picture "$2" "$LINUX_DATA/Explosion.as" >"$2.check" 2>&1
}

# await_battle OUTPUT NAME: waits for the battle on OUTPUT, pictured in NAME.ppm.
await_battle() {
    wait_until "$START_SECONDS" "the battle on $1" battle_on "$1" "$CASE_DIR/$2.ppm" ||
        fail "$1 never showed the battle; see $CASE_DIR/$2.ppm and its .check"
}

# expect_black OUTPUT NAME: the output is black all over.
expect_black() {
    picture_of "$1" "$CASE_DIR/$2.ppm" || fail "grim could not picture $1"
    expect_eq "$(convert "$CASE_DIR/$2.ppm" -format '%[fx:maxima]' info:)" 0 "the brightest pixel of $1"
}

# expect_size NAME WIDTHxHEIGHT: the picture NAME.ppm has that size.
expect_size() {
    expect_eq "$(convert "$CASE_DIR/$1.ppm" -format '%wx%h' info:)" "$2" "the size of $1.ppm"
}

# still_running WHAT: kestrion goes on after WHAT (given a second to end if it would).
still_running() {
    sleep 1
    alive "$KESTRION_PID" || fail "kestrion ended after $1; see its log in $CASE_DIR"
}

# type_keys WTYPE_ARGS...: the keys through wtype's virtual keyboard. Headless
# sway's seat has a keyboard only while wtype runs, and a client binds it only
# once told; the keys wait half a second for that.
type_keys() {
    "${AS_CLIENT[@]}" wtype -s 500 "$@" 2>>"$CASE_DIR/wtype.log" || fail "wtype $* failed"
}
point() {
    "${AS_CLIENT[@]}" "$VIRTUAL_POINTER" "$@" 2>>"$CASE_DIR/pointer.log" ||
        fail "the virtual pointer failed; see $CASE_DIR/pointer.log"
}

TWO_OUTPUTS=("output HEADLESS-1 mode 1280x720 position 0 0"
    "output HEADLESS-2 mode 1024x768 position 1280 0")

# ---------------------------------------------------------------------------

# The window, full screen on a 1920 x 1080 output and on a 3840 x 2160 one at
# scale 2: the battle fills each at the output's own pixels (F12 saves a
# picture of that size), and Escape ends it with exit code 0.
case_window_at_the_output_pixels() {
    start_sway "output HEADLESS-1 mode 1920x1080 position 0 0" \
        "output HEADLESS-2 mode 3840x2160 position 1920 0 scale 2"
    local output size n=0
    for output in HEADLESS-1:1920x1080 HEADLESS-2:3840x2160; do
        size=${output#*:} output=${output%:*}
        "${AS_CLIENT[@]}" swaymsg focus output "$output" >>"$CASE_DIR/swaymsg.log" 2>&1
        start_kestrion "window-$output.log" --fullscreen
        await_battle "$output" "window-$output"
        expect_size "window-$output" "$size"
        type_keys -k F12
        local shot="$SHOTS/KestrionScreen0$n.bmp"
        wait_until "$END_SECONDS" "$shot" complete_file "$shot" \
            $((${size%x*} * 3 * ${size#*x} + 54)) || fail "F12 wrote no complete $shot"
        "$E2E_INSPECT" header "$shot" "${size%x*}" "${size#*x}" || fail "$shot: wrong size"
        type_keys -k Escape
        expect_exit "$KESTRION_PID" 0 "the window on $output after Escape"
        n=$((n + 1))
    done
}

# The saver: the battle on the first output, the other black; a key ends it
# with exit code 0.
case_saver_ends_on_a_key() {
    start_sway "${TWO_OUTPUTS[@]}"
    start_kestrion saver.log --saver
    await_battle HEADLESS-1 saver-1
    expect_size saver-1 1280x720
    expect_black HEADLESS-2 saver-2
    expect_size saver-2 1024x768
    type_keys a
    expect_exit "$KESTRION_PID" 0 "the saver after a key"
}

# The saver and the pointer: a jitter of a pixel or two leaves it, motion
# beyond that ends it with exit code 0.
case_saver_ends_on_motion() {
    start_sway "${TWO_OUTPUTS[@]}"
    start_kestrion saver.log --saver --output HEADLESS-2
    await_battle HEADLESS-2 saver-2
    expect_black HEADLESS-1 saver-1
    point wait 500 move 1 1 move 2 0 move 0 2
    still_running "a pointer jitter"
    point wait 500 move 40 30 move 40 30 move 40 30
    expect_exit "$KESTRION_PID" 0 "the saver after pointer motion"
}

# A click, without motion, ends the saver with exit code 0.
case_saver_ends_on_a_click() {
    start_sway "${TWO_OUTPUTS[@]}"
    start_kestrion saver.log --saver
    await_battle HEADLESS-1 saver-1
    point wait 500 click
    expect_exit "$KESTRION_PID" 0 "the saver after a click"
}

# The saver ends on SIGTERM, as idle daemons end it, with exit code 0.
case_saver_ends_on_sigterm() {
    start_sway "${TWO_OUTPUTS[@]}"
    start_kestrion saver.log --saver
    await_battle HEADLESS-1 saver-1
    stop_within_a_second "$KESTRION_PID" TERM "the saver"
}

# swayidle runs "kestrion --saver" when the seat is idle, and a key ends it.
case_swayidle_starts_the_saver() {
    command -v swayidle >/dev/null || fail "swayidle is not installed; run scripts/setup"
    start_sway "${TWO_OUTPUTS[@]}"
    start "$CASE_DIR/swayidle.log" "${AS_CLIENT[@]}" swayidle -w timeout 2 "$LINUX_PROGRAM --saver"
    IDLE_PID=$STARTED_PID
    wait_until "$START_SECONDS" "swayidle to start kestrion" \
        started_below "$IDLE_PID" "$LINUX_PROGRAM" ||
        fail "swayidle started no kestrion; see $CASE_DIR/swayidle.log"
    KESTRION_PID=$FOUND_PID
    await_battle HEADLESS-1 idle-1
    type_keys x
    wait_until "$END_SECONDS" "the saver to end" eval '! alive "$KESTRION_PID"' ||
        fail "the saver swayidle started goes on after a key"
}

# The wallpaper: the battle on both outputs behind a window; keys go to the
# window and do nothing to it.
case_wallpaper_behind_a_window() {
    command -v foot >/dev/null || fail "foot is not installed; run scripts/setup"
    start_sway "${TWO_OUTPUTS[@]}" 'for_window [app_id="foot"] floating enable, resize set 300 200'
    start_kestrion wallpaper.log --wallpaper
    local kestrion=$KESTRION_PID
    start "$CASE_DIR/foot.log" "${AS_CLIENT[@]}" foot sleep 3600
    foot_mapped() { "${AS_CLIENT[@]}" swaymsg -t get_tree 2>/dev/null | grep -q '"app_id": "foot"'; }
    wait_until "$START_SECONDS" "the foot window" foot_mapped || fail "foot never showed a window"
    await_battle HEADLESS-1 wallpaper-1
    await_battle HEADLESS-2 wallpaper-2
    expect_size wallpaper-2 1024x768
    type_keys -k Escape
    type_keys q
    KESTRION_PID=$kestrion
    still_running "Escape and q"
    await_battle HEADLESS-2 wallpaper-2-after-keys
    stop_within_a_second "$KESTRION_PID" TERM "the wallpaper"
}

# The wallpaper follows the monitors: one plugged in meanwhile gets the battle,
# one taken away is let go; when the compositor ends, so does the wallpaper,
# with a line that says so and exit code 1.
case_wallpaper_follows_monitors() {
    start_sway "output HEADLESS-1 mode 1024x768 position 0 0"
    start_kestrion wallpaper.log --wallpaper
    await_battle HEADLESS-1 wallpaper-1
    "${AS_CLIENT[@]}" swaymsg create_output >>"$CASE_DIR/swaymsg.log" 2>&1 ||
        fail "swaymsg create_output failed; see $CASE_DIR/swaymsg.log"
    await_battle HEADLESS-2 wallpaper-2
    "${AS_CLIENT[@]}" swaymsg output HEADLESS-2 disable >>"$CASE_DIR/swaymsg.log" 2>&1
    still_running "a monitor went"
    await_battle HEADLESS-1 wallpaper-1-after
    stop_pid "$SWAY_PID"
    expect_exit "$KESTRION_PID" 1 "the wallpaper after the compositor ended"
    grep -q "the Wayland compositor closed the connection" "$CASE_DIR/wallpaper.log" ||
        fail "no line about the compositor; see $CASE_DIR/wallpaper.log"
}

# shellcheck shell=bash
# The end-to-end cases (sourced by tests/e2e/run, bash). Each case_NAME
# function is one ctest test, e2e.NAME; it fails through `fail` or a failing
# check. Every case starts from the registry it sets up itself.

SAVER_CAPTION="Kestrion"
CONFIG_CAPTION="Kestrion Screen Saver Config"
PASSWORD_CAPTION="Change Password"
# The screen the session's display has; a case with a display of its own changes them.
SCREEN_WIDTH=800
SCREEN_HEIGHT=600

# Generous time-outs: several Wine processes on a loaded two-core machine.
START_SECONDS=60
END_SECONDS=30

# wine_exit_fault FILE: FILE holds nothing but glibc's loader assertion that
# Wine processes sometimes hit on their way out, after our code has ended.
wine_exit_fault() {
    local lines
    lines=$(grep -c . "$1")
    ((lines == 1)) && grep -q -E \
        '^Inconsistency detected by ld\.so: dl-fini\.c: [0-9]+: _dl_fini: Assertion .* failed!$' "$1"
}

# try_helper ARGS...: runs the Win32 helper; its output is in HELPER_OUT, its
# complaint in HELPER_ERROR, and its status is returned.
try_helper() {
    local status=0 try
    for try in 1 2; do
        status=0
        wine "$E2E_HELPER" "$@" </dev/null >"$CASE_DIR/helper.out" 2>"$CASE_DIR/helper.err" ||
            status=$?
        ((status == 0)) && break
        # The helper says why whenever it fails. Two failures are Wine's and
        # not the helper's, each seen a few times in hundreds of cases on a
        # loaded machine: an exit without a word (before the helper ran), and
        # the loader's assertion at process exit (after it ended). Every call
        # of the helper may be made twice, so such a call is made once more.
        if [ ! -s "$CASE_DIR/helper.out" ] && [ ! -s "$CASE_DIR/helper.err" ]; then
            say "helper $*: Wine ended it with status $status and no word; once more" \
                >>"$CASE_DIR/helper-retries.log"
        elif wine_exit_fault "$CASE_DIR/helper.err"; then
            say "helper $*: status $status with the loader's fault at exit" \
                "($(cat "$CASE_DIR/helper.err")); once more" >>"$CASE_DIR/helper-retries.log"
        else
            break
        fi
    done
    HELPER_OUT=$(cat "$CASE_DIR/helper.out")
    HELPER_ERROR=$(cat "$CASE_DIR/helper.err")
    return $status
}

# helper ARGS...: the same, where failing fails the case.
helper() {
    try_helper "$@" || fail "helper $*: ${HELPER_ERROR:-exit status $?}"
}

expect_eq() {
    local actual=$1 expected=$2 what=$3
    [ "$actual" = "$expected" ] || fail "$what: got [$actual], expected [$expected]"
}

hex_of() { printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n'; }

# expect_value NAME TEXT [zero]: the settings value is REG_SZ holding exactly
# TEXT, with its terminating zero only when "zero" is given.
expect_value() {
    local name=$1 size=${#2} hex
    hex=$(hex_of "$2")
    if [ "${3:-}" = zero ]; then
        size=$((size + 1))
        hex+=00
    fi
    helper reg-get "$name"
    expect_eq "$HELPER_OUT" "REG_SZ $size $hex" "value $name (type, size, bytes)"
}

expect_missing() {
    helper reg-get "$1"
    expect_eq "$HELPER_OUT" "missing" "value $1"
}

# The races of the default data set, sorted by name: RACE_NAMES, RACE_DESCRIPTIONS.
load_races() {
    local name description
    RACE_NAMES=()
    RACE_DESCRIPTIONS=()
    "$E2E_INSPECT" races "$E2E_RUN_DIR" >"$CASE_DIR/races.txt" || fail "cannot list the races"
    while IFS=$'\t' read -r name description; do
        RACE_NAMES+=("$name")
        RACE_DESCRIPTIONS+=("$description")
    done <"$CASE_DIR/races.txt"
    ((${#RACE_NAMES[@]} >= 3)) || fail "the data set has fewer than 3 races"
}

# entry RACE SIZE: the fleet entry text for race number RACE of RACE_NAMES.
entry() { printf '%s (%s)  "%s"' "${RACE_NAMES[$1]}" "$2" "${RACE_DESCRIPTIONS[$1]}"; }

# Two fleets of three ships, 800 x 600.
configure_battle() {
    helper reg-delete
    helper reg-set Resolution 800x600 zero
    helper reg-set NumList1Items 1
    helper reg-set List1Item0 "$(entry 0 3)"
    helper reg-set NumList2Items 1
    helper reg-set List2Item0 "$(entry 1 3)"
}

# copy_program DIR: a copy of the run folder at DIR.
copy_program() {
    mkdir -p "$1"
    cp -r "$E2E_RUN_DIR"/. "$1"/
    rm -f "$1"/KestrionScreen*.bmp "$1"/KestrionScreen*.png
}

# launch LOG CWD PROGRAM ARGS...: starts the program under Wine from CWD; sets PROGRAM_PID.
launch() {
    local log=$1 cwd=$2
    shift 2
    mkdir -p "$cwd"
    start "$log" env -C "$cwd" wine "$@"
    PROGRAM_PID=$STARTED_PID
}

# expect_exit PID CODE WHAT: the process ends within END_SECONDS with that code.
expect_exit() {
    await "$1" "$END_SECONDS" || fail "$3: still running after $END_SECONDS s"
    expect_eq "$EXIT_CODE" "$2" "$3: exit code"
}

# wait_window CAPTION: the window of a program we started is up, initialised
# and answering; fails at once when the program ends first.
wait_window() {
    local caption=$1 deadline=$((SECONDS + START_SECONDS))
    until try_helper wait-window "$caption" 2000; do
        if ! alive "$PROGRAM_PID"; then
            await "$PROGRAM_PID" 0
            fail "the program ended with exit code $EXIT_CODE before \"$caption\" appeared"
        fi
        ((SECONDS < deadline)) || fail "no window \"$caption\" after $START_SECONDS s"
    done
}

# wait_saver: the saver window is up and mapped, so that X input reaches it.
wait_saver() {
    wait_window "$SAVER_CAPTION"
    wait_until "$START_SECONDS" "the saver window to be mapped" x_viewable "$SAVER_CAPTION" ||
        fail "the saver window was never mapped"
}

# screenshot CWD NUMBER: F12 writes KestrionScreenNUMBER.bmp into CWD. This is
# also how a case proves the saver is still running after some input.
screenshot() {
    local file="$1/KestrionScreen$2.bmp"
    [ -e "$file" ] && fail "$file exists before F12"
    xdotool key F12
    wait_until "$END_SECONDS" "$file" complete_file "$file" \
        $((SCREEN_WIDTH * SCREEN_HEIGHT * 3 + 54)) ||
        fail "F12 wrote no complete $file (the saver has quit or ignores F12)"
    "$E2E_INSPECT" header "$file" "$SCREEN_WIDTH" "$SCREEN_HEIGHT" ||
        fail "$file has a wrong header or size"
}

# next_shot CWD: the number the saver's next F12 screenshot in CWD gets (the
# first free one).
next_shot() {
    local n
    for n in $(seq -w 0 99); do
        [ -e "$1/KestrionScreen$n.bmp" ] || break
    done
    printf '%s' "$n"
}

# judged_screenshot CWD CHECK ARGS...: F12 screenshots into CWD until one passes
# `kestrion-e2e-inspect CHECK FILE ARGS...`, six at most. One picture can fail
# through no fault of the saver (an explosion over a tile); six in a row do not.
# SHOT is the file that passed; the checks' words are in the case's folder.
judged_screenshot() {
    local cwd=$1 check=$2 try number
    shift 2
    for try in 1 2 3 4 5 6; do
        number=$(next_shot "$cwd")
        screenshot "$cwd" "$number"
        SHOT="$cwd/KestrionScreen$number.bmp"
        "$E2E_INSPECT" "$check" "$SHOT" "$@" >"$CASE_DIR/shot-$number.check" 2>&1 && return 0
    done
    cat "$CASE_DIR/shot-$number.check" >&2
    return 1
}

# ---------------------------------------------------------------------------

# The preview without a window to draw into (a handle that names none, or no
# handle) and its legacy switch end at once; every mode writes the first-run
# defaults when the settings key is new.
case_preview_and_first_run() {
    local arguments
    for arguments in "/p 1234" "/p" "/l"; do
        helper reg-delete
        # shellcheck disable=SC2086 # the switch and its number are two arguments
        launch "$CASE_DIR/program.log" "$CASE_DIR" "$E2E_RUN_DIR/Kestrion.scr" $arguments
        expect_exit "$PROGRAM_PID" 0 "Kestrion.scr $arguments"
        helper reg-dump
        expect_eq "$(printf '%s\n' "$HELPER_OUT" | wc -l)" 3 \
            "number of settings values after a first run (got: $HELPER_OUT)"
        expect_value NumList1Items 0
        expect_value NumList2Items 0
        expect_value Resolution 800x600 zero
    done

    # An existing key keeps what it has: no defaults fill in missing values.
    helper reg-delete
    helper reg-set Resolution 1024x768 zero
    launch "$CASE_DIR/program.log" "$CASE_DIR" "$E2E_RUN_DIR/Kestrion.scr" /p 1234
    expect_exit "$PROGRAM_PID" 0 "Kestrion.scr /p 1234 with an existing key"
    expect_missing NumList1Items
    expect_missing NumList2Items
    expect_value Resolution 1024x768 zero
}

# OK leaves the password dialog open; Cancel closes it and the program ends with 0.
case_password_dialog() {
    launch "$CASE_DIR/program.log" "$CASE_DIR" "$E2E_RUN_DIR/Kestrion.scr" /a
    wait_window "$PASSWORD_CAPTION"
    helper set-text "$PASSWORD_CAPTION" 1015 secret # the password fields are there
    helper set-text "$PASSWORD_CAPTION" 1016 secret
    helper click "$PASSWORD_CAPTION" 1
    try_helper wait-window "$PASSWORD_CAPTION" 5000 || fail "OK closed the password dialog"
    alive "$PROGRAM_PID" || fail "the program ended after OK"
    helper click "$PASSWORD_CAPTION" 2
    expect_exit "$PROGRAM_PID" 0 "the password dialog after Cancel"
}

# Opening shows the data set's races, "1" in both sizes, the stored lists in
# sorted order and the stored resolution; Add, Remove and OK write the lists.
case_config_dialog_save() {
    load_races
    helper reg-delete
    helper reg-set Resolution 1024x768 zero
    # Stored out of order, so that the dialog's sorted list shows itself.
    helper reg-set NumList1Items 2
    helper reg-set List1Item0 "$(entry 2 4)"
    helper reg-set List1Item1 "$(entry 0 2)"
    helper reg-set NumList2Items 0

    launch "$CASE_DIR/program.log" "$CASE_DIR" "$E2E_RUN_DIR/Kestrion.scr" /c
    wait_window "$CONFIG_CAPTION"
    local c=$CONFIG_CAPTION

    helper get-text "$c" 1029
    expect_eq "$HELPER_OUT" 1 "alliance 1 fleet size at opening"
    helper get-text "$c" 1030
    expect_eq "$HELPER_OUT" 1 "alliance 2 fleet size at opening"
    helper combo-items "$c" 1016
    local combo1=$HELPER_OUT
    expect_eq "$(sort <<<"$combo1")" "$(printf '%s\n' "${RACE_NAMES[@]}" | sort)" \
        "alliance 1 races (any order)"
    helper combo-items "$c" 1018
    expect_eq "$HELPER_OUT" "$combo1" "alliance 2 races"
    helper combo-selected "$c" 1016
    expect_eq "$HELPER_OUT" 0 "alliance 1 selected race"
    helper combo-selected "$c" 1018
    expect_eq "$HELPER_OUT" 0 "alliance 2 selected race"
    helper list-items "$c" 1041
    expect_eq "$HELPER_OUT" "$(entry 0 2)"$'\n'"$(entry 2 4)" "alliance 1 list at opening"
    helper list-items "$c" 1044
    expect_eq "$HELPER_OUT" "" "alliance 2 list at opening"
    local id
    for id in 1031 1032 1033 1034 1035 1036; do
        helper checked "$c" "$id"
        expect_eq "$HELPER_OUT" "$([ "$id" = 1033 ] && echo 1 || echo 0)" "resolution button $id"
    done

    # combo_index RACE: where race number RACE stands in the combo boxes.
    combo_index() {
        local index=0 name
        while IFS= read -r name; do
            [ "$name" = "${RACE_NAMES[$1]}" ] && {
                echo "$index"
                return
            }
            index=$((index + 1))
        done <<<"$combo1"
        fail "race ${RACE_NAMES[$1]} is not in the combo box"
    }
    # add ALLIANCE RACE SIZE: Add with that race and size.
    add() {
        local combo edit button
        if [ "$1" = 1 ]; then combo=1016 edit=1029 button=1039; else combo=1018 edit=1030 button=1042; fi
        helper combo-select "$c" $combo "$(combo_index "$2")"
        helper set-text "$c" $edit "$3"
        helper click "$c" $button
    }

    add 2 1 5
    helper list-items "$c" 1044
    expect_eq "$HELPER_OUT" "$(entry 1 5)" "alliance 2 after Add"
    add 2 1 12
    helper list-items "$c" 1044
    expect_eq "$HELPER_OUT" "$(entry 1 12)" "alliance 2 after adding the same race again"
    add 2 0 5
    helper list-items "$c" 1044
    expect_eq "$HELPER_OUT" "$(entry 0 5)"$'\n'"$(entry 1 12)" "alliance 2 after a second race"
    helper list-select "$c" 1044 1
    helper click "$c" 1043
    helper list-items "$c" 1044
    expect_eq "$HELPER_OUT" "$(entry 0 5)" "alliance 2 after Remove"
    add 1 2 7
    helper list-items "$c" 1041
    expect_eq "$HELPER_OUT" "$(entry 0 2)"$'\n'"$(entry 2 7)" "alliance 1 after replacing"

    helper click "$c" 1034
    helper checked "$c" 1034
    expect_eq "$HELPER_OUT" 1 "1152x864 after its click"
    helper checked "$c" 1033
    expect_eq "$HELPER_OUT" 0 "1024x768 after 1152x864 was clicked"
    helper click "$c" 1
    expect_exit "$PROGRAM_PID" 0 "the configuration dialog after OK"

    expect_value Resolution 1152x864 zero
    expect_value NumList1Items 2
    expect_value List1Item0 "$(entry 0 2)"
    expect_value List1Item1 "$(entry 2 7)"
    expect_value NumList2Items 1
    expect_value List2Item0 "$(entry 0 5)"
    expect_missing List2Item1
}

# Cancel and the close box leave the registry exactly as it was.
case_config_dialog_discard() {
    load_races
    helper reg-delete
    helper reg-set Resolution 640x480 zero
    helper reg-set NumList1Items 1
    helper reg-set List1Item0 "$(entry 0 3)"
    helper reg-set NumList2Items 0
    helper reg-dump
    local before=$HELPER_OUT c=$CONFIG_CAPTION how
    for how in cancel close; do
        launch "$CASE_DIR/program.log" "$CASE_DIR" "$E2E_RUN_DIR/Kestrion.scr" /c
        wait_window "$c"
        helper set-text "$c" 1030 9
        helper click "$c" 1042
        helper click "$c" 1039
        helper list-select "$c" 1041 0
        helper click "$c" 1040
        helper click "$c" 1036
        helper list-items "$c" 1044
        [ -n "$HELPER_OUT" ] || fail "Add did nothing"
        if [ $how = cancel ]; then helper click "$c" 2; else helper close "$c"; fi
        expect_exit "$PROGRAM_PID" 0 "the configuration dialog after $how"
        helper reg-dump
        expect_eq "$HELPER_OUT" "$before" "the settings after $how"
    done
}

# Without race files the race lists are empty, Add does nothing, and the
# stored lists can still be emptied and saved.
case_config_dialog_without_races() {
    load_races
    local program="$CASE_DIR/program" c=$CONFIG_CAPTION
    copy_program "$program"
    rm -f "$program"/*.ast "$program"/*.AST
    helper reg-delete
    helper reg-set NumList1Items 1
    helper reg-set List1Item0 "$(entry 0 3)"
    launch "$CASE_DIR/program.log" "$CASE_DIR" "$program/Kestrion.scr" /c
    wait_window "$c"
    helper combo-items "$c" 1016
    expect_eq "$HELPER_OUT" "" "races without race files"
    helper click "$c" 1039
    helper click "$c" 1042
    try_helper wait-window "$c" 5000 || fail "the dialog is gone after Add with no races"
    helper list-items "$c" 1041
    expect_eq "$HELPER_OUT" "$(entry 0 3)" "alliance 1 after Add"
    helper list-items "$c" 1044
    expect_eq "$HELPER_OUT" "" "alliance 2 after Add"
    helper list-select "$c" 1041 0
    helper click "$c" 1040
    helper click "$c" 1
    expect_exit "$PROGRAM_PID" 0 "the configuration dialog after OK"
    expect_value NumList1Items 0
    expect_value NumList2Items 0
    expect_value List1Item0 "$(entry 0 3)" # left in place, unread
}

# The saver with two fleets: full-screen window, F12 screenshots of the
# background tiles and the ships, Alt+F4 and a 2-pixel move do not quit, a
# 3-pixel move does, with exit code 1.
case_saver_screenshots_and_movement() {
    load_races
    configure_battle
    local cwd="$CASE_DIR/cwd"
    xdotool mousemove 400 300
    launch "$CASE_DIR/saver.log" "$cwd" "$E2E_RUN_DIR/Kestrion.scr" /s
    wait_saver
    helper window-rect "$SAVER_CAPTION"
    expect_eq "$HELPER_OUT" "0 0 800 600" "saver window"
    # Arms the movement reference here: Wine does not always send the first
    # WM_MOUSEMOVE under a still pointer, but it does for SetCursorPos.
    helper cursor 400 300

    judged_screenshot "$cwd" picture "$E2E_RUN_DIR/Explosion.as" ||
        fail "no screenshot shows the battle over the background"
    screenshot "$cwd" "$(next_shot "$cwd")"

    xdotool keydown alt key F4 keyup alt
    xdotool mousemove 401 301
    screenshot "$cwd" "$(next_shot "$cwd")" # still running after Alt+F4 and a move of 2 pixels
    xdotool mousemove 402 301
    expect_exit "$PROGRAM_PID" 1 "the saver after a mouse move of 3 pixels"
}

# Any key but F12 ends the saver with exit code 1.
case_saver_key() {
    load_races
    configure_battle
    xdotool mousemove 400 300
    launch "$CASE_DIR/saver.log" "$CASE_DIR/cwd" "$E2E_RUN_DIR/Kestrion.scr" /s
    wait_saver
    xdotool key a
    expect_exit "$PROGRAM_PID" 1 "the saver after a key"
}

# A click ends the saver with exit code 1; in the bottom-right corner the
# cursor cannot move down and right, so it is nudged up and left.
case_saver_click() {
    load_races
    configure_battle
    xdotool mousemove 799 599
    launch "$CASE_DIR/saver.log" "$CASE_DIR/cwd" "$E2E_RUN_DIR/Kestrion.scr" /s
    wait_saver
    xdotool click 1
    expect_exit "$PROGRAM_PID" 1 "the saver after a click"
    expect_eq "$(xdotool getmouselocation | cut -d' ' -f1-2)" "x:798 y:598" "cursor after the click"
}

# Without "Explosion.as" the saver ends silently with exit code 0.
case_saver_without_effects_file() {
    load_races
    configure_battle
    local program="$CASE_DIR/program"
    copy_program "$program"
    rm -f "$program/Explosion.as"
    launch "$CASE_DIR/saver.log" "$CASE_DIR/cwd" "$program/Kestrion.scr" /s
    expect_exit "$PROGRAM_PID" 0 "the saver without Explosion.as"
    try_helper wait-window "$SAVER_CAPTION" 500 && fail "a saver window is still up"
    return 0
}

# A "-c" in the program's own folder does not choose the run mode.
case_saver_in_dash_c_folder() {
    load_races
    configure_battle
    local program="$CASE_DIR/jean-claude" cwd="$CASE_DIR/cwd"
    copy_program "$program"
    xdotool mousemove 400 300
    launch "$CASE_DIR/saver.log" "$cwd" "$program/Kestrion.scr" /s
    helper wait-window "$SAVER_CAPTION|$CONFIG_CAPTION" $((START_SECONDS * 1000))
    expect_eq "$(head -n 1 <<<"$HELPER_OUT")" "$SAVER_CAPTION" "window opened from $program"
    wait_saver
    screenshot "$cwd" 00
    xdotool key Escape
    expect_exit "$PROGRAM_PID" 1 "the saver after Escape"
}

# Started by a bare file name from another directory, the saver still finds
# its data next to the program file.
case_saver_by_bare_file_name() {
    load_races
    configure_battle
    local program="$CASE_DIR/program" cwd="$CASE_DIR/cwd"
    copy_program "$program"
    mkdir -p "$cwd"
    xdotool mousemove 400 300
    local windows_cwd windows_program
    windows_cwd=$(winepath -w "$cwd" 2>/dev/null) &&
        windows_program=$(winepath -w "$program/Kestrion.scr" 2>/dev/null) ||
        fail "winepath cannot name $program for Windows"
    start "$CASE_DIR/run.log" wine "$E2E_HELPER" run "$windows_cwd" "Kestrion.scr /s" \
        $((START_SECONDS * 2000)) "$windows_program"
    PROGRAM_PID=$STARTED_PID
    wait_saver
    local saver_pid
    saver_pid=$(sed -n 2p "$CASE_DIR/helper.out")
    WINDOWS_PIDS+=("$saver_pid")
    screenshot "$cwd" 00
    xdotool key space
    await "$PROGRAM_PID" "$END_SECONDS" ||
        fail "the saver started by its bare name still runs after a key"
    expect_eq "$(grep '^exit' "$CASE_DIR/run.log")" "exit 1" "the saver started by its bare name"
}

# ---------------------------------------------------------------------------
# Races made by kestrion-forge.exe from an OBJ model.

FORGE_EXE="$E2E_RUN_DIR/kestrion-forge.exe"
HULL_RGB="255 0 255" # the model's paint: nothing else in the battle is magenta

# write_model DIR: a small ship as a modelling program writes it (nose +z, top
# +y, quads): a hull with a texture whose sides are not powers of two, and
# wings in a plain material colour.
write_model() {
    mkdir -p "$1"
    cat >"$1/ship.obj" <<'OBJ'
mtllib ship.mtl
o hull
v -0.5 -0.3 -2
v 0.5 -0.3 -2
v 0.5 0.4 -2
v -0.5 0.4 -2
v -0.3 -0.2 2.5
v 0.3 -0.2 2.5
v 0.3 0.2 2.5
v -0.3 0.2 2.5
vt 0 0
vt 1 0
vt 1 1
vt 0 1
usemtl paint
f 1/1 4/2 3/3 2/4
f 5/1 6/2 7/3 8/4
f 1/1 2/2 6/3 5/4
f 2/1 3/2 7/3 6/4
f 3/1 4/2 8/3 7/4
f 4/1 1/2 5/3 8/4
g wings
v -2.5 -0.05 -1.8
v 2.5 -0.05 -1.8
v 2.5 0.05 -1.8
v -2.5 0.05 -1.8
v -0.4 -0.05 0.8
v 0.4 -0.05 0.8
v 0.4 0.05 0.8
v -0.4 0.05 0.8
usemtl wing
f 9 12 11 10
f 13 14 15 16
f 9 10 14 13
f 10 11 15 14
f 11 12 16 15
f 12 9 13 16
OBJ
    cat >"$1/ship.mtl" <<'MTL'
newmtl paint
Kd 1 1 1
map_Kd paint.png
newmtl wing
Kd 1 0 1
MTL
    convert -size 96x40 xc:'#ff00ff' "$1/paint.png" || fail "ImageMagick cannot write paint.png"
}

# forge DIR ARGS...: kestrion-forge.exe under Wine in DIR; its output in FORGE_LOG,
# its exit code in EXIT_CODE.
forge() {
    local dir=$1
    shift
    FORGE_LOG="$CASE_DIR/forge-$((++FORGE_RUNS)).log"
    launch "$FORGE_LOG" "$dir" "$FORGE_EXE" "$@"
    await "$PROGRAM_PID" "$END_SECONDS" || fail "kestrion-forge.exe $1 still runs after $END_SECONDS s"
}
FORGE_RUNS=0

# kestrion-forge.exe imports, inspects and exports under Wine; bad input ends
# with exit code 2 and leaves no file.
case_forge_exe() {
    [ -f "$FORGE_EXE" ] || fail "$FORGE_EXE is missing; build the Windows program first"
    local work="$CASE_DIR/work"
    write_model "$work"
    forge "$work" --version
    expect_eq "$EXIT_CODE" 0 "kestrion-forge.exe --version"
    grep -q '^kestrion-forge [0-9]' "$FORGE_LOG" || fail "--version printed $(cat "$FORGE_LOG")"

    forge "$work" import ship.obj -o Dart.ast --name Dart --description "Test darts"
    expect_eq "$EXIT_CODE" 0 "import ($(cat "$FORGE_LOG"))"
    forge "$work" inspect Dart.ast
    expect_eq "$EXIT_CODE" 0 "inspect of the imported race ($(cat "$FORGE_LOG"))"
    grep -q 'race file, [0-9]* bytes, valid' "$FORGE_LOG" || fail "inspect: $(cat "$FORGE_LOG")"
    grep -q 'textures 2: 128x32 4x4' "$FORGE_LOG" || fail "textures: $(cat "$FORGE_LOG")"

    forge "$work" export Dart.ast out
    expect_eq "$EXIT_CODE" 0 "export ($(cat "$FORGE_LOG"))"
    local file
    for file in Dart.obj Dart.mtl Dart-texture0.png Dart-texture1.png Dart-shield.obj Dart-missile.png; do
        [ -s "$work/out/$file" ] || fail "export wrote no $file"
    done
    # The export imports again, over the earlier race file.
    forge "$work/out" import Dart.obj -o ../Dart.ast --name Dart --description "Test darts" \
        --missile Dart-missile.png
    expect_eq "$EXIT_CODE" 0 "import of the export ($(cat "$FORGE_LOG"))"

    # A model in a folder named in another script, by its full Windows path.
    write_model "$CASE_DIR/Модели"
    forge "$work" import "$(winepath -w "$CASE_DIR/Модели/ship.obj")" -o Far.ast --name Far \
        --description "Test darts"
    expect_eq "$EXIT_CODE" 0 "import from a folder named in Cyrillic ($(cat "$FORGE_LOG"))"

    forge "$work" import missing.obj -o Bad.ast --name Bad --description "Never made"
    expect_eq "$EXIT_CODE" 2 "import of a missing model"
    grep -q 'missing.obj: model file not found' "$FORGE_LOG" || fail "message: $(cat "$FORGE_LOG")"
    printf 'f 1 2 3\n' >"$work/broken.obj"
    forge "$work" import broken.obj -o Bad.ast --name Bad --description "Never made"
    expect_eq "$EXIT_CODE" 2 "import of a face without vertices"
    [ -z "$(find "$work" -name 'Bad.ast*')" ] || fail "a failed import left $(find "$work" -name 'Bad.ast*')"
}

# A race imported from an OBJ model is listed in the configuration dialog,
# chosen for both alliances, and the saver draws its hulls in their paint.
case_imported_race_flies() {
    local program="$CASE_DIR/program" cwd="$CASE_DIR/cwd" c=$CONFIG_CAPTION
    copy_program "$program"
    write_model "$CASE_DIR/model"
    forge "$CASE_DIR/model" import ship.obj -o "$(winepath -w "$program/Dart.ast")" \
        --name Dart --description "Test darts" --beam 0,1,0 --shield 0,0.6,0
    expect_eq "$EXIT_CODE" 0 "import ($(cat "$FORGE_LOG"))"

    helper reg-delete
    helper reg-set Resolution 800x600 zero
    launch "$CASE_DIR/dialog.log" "$CASE_DIR" "$program/Kestrion.scr" /c
    wait_window "$c"
    helper combo-items "$c" 1016
    local index
    index=$(grep -nx Dart <<<"$HELPER_OUT" | cut -d: -f1)
    [ -n "$index" ] || fail "the dialog does not list the imported race: $HELPER_OUT"
    helper combo-select "$c" 1016 $((index - 1))
    helper set-text "$c" 1029 3
    helper click "$c" 1039
    helper combo-select "$c" 1018 $((index - 1))
    helper set-text "$c" 1030 2
    helper click "$c" 1042
    helper click "$c" 1
    expect_exit "$PROGRAM_PID" 0 "the configuration dialog after OK"
    expect_value List1Item0 "$(fleet_entry Dart 3 "Test darts")"
    expect_value List2Item0 "$(fleet_entry Dart 2 "Test darts")"

    xdotool mousemove 400 300
    launch "$CASE_DIR/saver.log" "$cwd" "$program/Kestrion.scr" /s
    wait_saver
    helper cursor 400 300
    # At the start the ships crowd the centre behind their first shots: a few
    # screenshots give the hulls every chance to show.
    local n painted=no
    for n in 00 01 02 03 04 05; do
        screenshot "$cwd" $n
        # shellcheck disable=SC2086 # three numbers
        if "$E2E_INSPECT" paint "$cwd/KestrionScreen$n.bmp" $HULL_RGB; then
            painted=yes
            break
        fi
    done
    [ $painted = yes ] || fail "no screenshot shows hulls in the imported race's paint"
    xdotool key Escape
    expect_exit "$PROGRAM_PID" 1 "the saver after Escape"
}

# ---------------------------------------------------------------------------
# A standard user: the machine's settings key may only be read.

# lock_settings [--user]: the settings key becomes read-only for everyone until
# the case ends, as HKEY_LOCAL_MACHINE is for a standard user of Windows 10 and 11.
lock_settings() {
    helper "$@" reg-lock
    CASE_CLEANUP+=("try_helper $* reg-unlock")
}

# saver_picture CWD CHECK: a saver run from CWD, an F12 screenshot checked by
# the inspector's CHECK (picture: ships; background: none), then a key.
saver_picture() {
    local cwd=$1 check=$2
    xdotool mousemove 400 300
    launch "$CASE_DIR/saver.log" "$cwd" "${SAVER_PROGRAM:-$E2E_RUN_DIR/Kestrion.scr}" /s
    wait_saver
    judged_screenshot "$cwd" "$check" "$E2E_RUN_DIR/Explosion.as" ||
        fail "the saver's screenshots from $cwd fail the $check check"
    xdotool key Escape
    expect_exit "$PROGRAM_PID" 1 "the saver after Escape"
    rm -f "$cwd"/KestrionScreen*.bmp
}

# dialog_lists LIST1 LIST2: the configuration dialog is open and lists these.
dialog_lists() {
    helper list-items "$CONFIG_CAPTION" 1041
    expect_eq "$HELPER_OUT" "$1" "alliance 1 list"
    helper list-items "$CONFIG_CAPTION" 1044
    expect_eq "$HELPER_OUT" "$2" "alliance 2 list"
}

# select_race COMBO RACE: selects race number RACE of RACE_NAMES in the open
# dialog's combo box.
select_race() {
    helper combo-items "$CONFIG_CAPTION" "$1"
    local line
    line=$(grep -nxF -- "${RACE_NAMES[$2]}" <<<"$HELPER_OUT" | head -n 1 | cut -d: -f1)
    [ -n "$line" ] || fail "race ${RACE_NAMES[$2]} is not in combo box $1"
    helper combo-select "$CONFIG_CAPTION" "$1" $((line - 1))
}

open_dialog() {
    launch "$CASE_DIR/program.log" "$CASE_DIR" "${SAVER_PROGRAM:-$E2E_RUN_DIR/Kestrion.scr}" /c
    wait_window "$CONFIG_CAPTION"
}

# The machine's fleets are drawn and listed; OK saves into the user's own key
# with the usual sizes and leaves the machine's key as it was; the next dialog
# and saver run read the user's key.
case_standard_user_saves_own_settings() {
    load_races
    configure_battle
    helper reg-dump
    local machine=$HELPER_OUT c=$CONFIG_CAPTION
    lock_settings

    saver_picture "$CASE_DIR/cwd" picture
    open_dialog
    dialog_lists "$(entry 0 3)" "$(entry 1 3)"
    select_race 1016 2
    helper set-text "$c" 1029 4
    helper click "$c" 1039
    helper list-select "$c" 1044 0
    helper click "$c" 1043
    helper click "$c" 1
    expect_exit "$PROGRAM_PID" 0 "the dialog after OK (a message box would keep it open)"

    helper reg-dump
    expect_eq "$HELPER_OUT" "$machine" "the machine's settings after a standard user's OK"
    local first second
    first=$(entry 0 3) second=$(entry 2 4)
    [[ "$first" < "$second" ]] || { local t=$first; first=$second second=$t; }
    helper --user reg-get Resolution
    expect_eq "$HELPER_OUT" "REG_SZ 8 $(hex_of 800x600)00" "the user's Resolution"
    local name text
    for name in NumList1Items:2 List1Item0:"$first" List1Item1:"$second" NumList2Items:0; do
        text=${name#*:}
        helper --user reg-get "${name%%:*}"
        expect_eq "$HELPER_OUT" "REG_SZ ${#text} $(hex_of "$text")" "the user's ${name%%:*}"
    done

    open_dialog
    dialog_lists "$first"$'\n'"$second" ""
    helper click "$c" 2
    expect_exit "$PROGRAM_PID" 0 "the dialog after Cancel"
    saver_picture "$CASE_DIR/cwd" picture
}

# A user key the helper wrote overrides the machine's, writable as it is: both
# fleets empty, so the saver draws the background alone. After a lock and an
# unlock, and without a user key, the machine's key is read and written again.
case_user_key_overrides_machine_key() {
    load_races
    configure_battle
    helper --user reg-set NumList1Items 0
    helper --user reg-set NumList2Items 0

    open_dialog
    dialog_lists "" ""
    helper click "$CONFIG_CAPTION" 2
    expect_exit "$PROGRAM_PID" 0 "the dialog after Cancel"
    saver_picture "$CASE_DIR/cwd" background

    lock_settings
    helper reg-unlock
    helper --user reg-delete
    open_dialog
    dialog_lists "$(entry 0 3)" "$(entry 1 3)"
    helper set-text "$CONFIG_CAPTION" 1030 6
    helper click "$CONFIG_CAPTION" 1042
    helper click "$CONFIG_CAPTION" 1
    expect_exit "$PROGRAM_PID" 0 "the dialog after OK"
    helper --user reg-dump
    expect_eq "$HELPER_OUT" "" "the user's settings after an administrator's OK"
    expect_value NumList2Items 2
    saver_picture "$CASE_DIR/cwd" picture
}

# With no key to write to, OK says so in a box captioned "Kestrion" and then
# ends; nothing stored changes.
case_save_refused_says_so() {
    load_races
    configure_battle
    helper --user reg-set NumList1Items 1
    helper --user reg-set List1Item0 "$(entry 0 2)"
    helper --user reg-set NumList2Items 0
    helper reg-dump
    local machine=$HELPER_OUT
    helper --user reg-dump
    local user=$HELPER_OUT
    lock_settings
    lock_settings --user

    open_dialog
    dialog_lists "$(entry 0 2)" ""
    helper click "$CONFIG_CAPTION" 1042
    helper post-command "$CONFIG_CAPTION" 1 # OK, without waiting for the box it opens
    helper wait-window "$SAVER_CAPTION" $((START_SECONDS * 1000))
    helper click "$SAVER_CAPTION" 1 # the box's OK
    expect_exit "$PROGRAM_PID" 0 "the dialog after the message"
    helper reg-dump
    expect_eq "$HELPER_OUT" "$machine" "the machine's settings"
    helper --user reg-dump
    expect_eq "$HELPER_OUT" "$user" "the user's settings"
}

# Run folders named in Cyrillic, in Chinese and with blanks: the dialog lists
# the races and the saver draws its fleets from each.
case_run_folder_names() {
    load_races
    configure_battle
    local name races
    races=$(printf '%s\n' "${RACE_NAMES[@]}" | sort)
    for name in "Игры" "游戏" "Program Files/Kestrion Saver"; do
        copy_program "$CASE_DIR/$name"
        SAVER_PROGRAM="$CASE_DIR/$name/Kestrion.scr"
        open_dialog
        helper combo-items "$CONFIG_CAPTION" 1016
        expect_eq "$(sort <<<"$HELPER_OUT")" "$races" "the races listed from $name"
        helper click "$CONFIG_CAPTION" 2
        expect_exit "$PROGRAM_PID" 0 "the dialog from $name after Cancel"
        saver_picture "$CASE_DIR/cwd" picture
    done
}

# "Desktop" on a 1024 x 768 screen: the dialog stores it with its zero, and the
# saver window and its screenshot take the screen's own size. On that screen a
# stored "800x600" still asks for its mode, which Wine on Xvfb cannot set: the
# message appears and the program ends with 0.
case_desktop_resolution() {
    load_races
    # Wine reports the size of the display a prefix started on: this display
    # needs a prefix of its own.
    start_xvfb "$CASE_DIR" 1024x768x24
    CASE_CLEANUP+=("WINEPREFIX='$CASE_DIR/prefix' stop_wine; stop_xvfb; rm -rf '$CASE_DIR/prefix'")
    open_prefix "$CASE_DIR/prefix" "$CASE_DIR/prefix.log"
    SCREEN_WIDTH=1024 SCREEN_HEIGHT=768

    configure_battle
    open_dialog
    helper click "$CONFIG_CAPTION" 1037
    helper click "$CONFIG_CAPTION" 1
    expect_exit "$PROGRAM_PID" 0 "the dialog after OK"
    expect_value Resolution Desktop zero

    local cwd="$CASE_DIR/cwd"
    xdotool mousemove 512 384
    launch "$CASE_DIR/saver.log" "$cwd" "$E2E_RUN_DIR/Kestrion.scr" /s
    wait_saver
    helper window-rect "$SAVER_CAPTION"
    expect_eq "$HELPER_OUT" "0 0 1024 768" "the saver window on the desktop's own mode"
    judged_screenshot "$cwd" picture "$E2E_RUN_DIR/Explosion.as" ||
        fail "no 1024 x 768 screenshot shows the battle over the background"
    xdotool key Escape
    expect_exit "$PROGRAM_PID" 1 "the saver after Escape"

    helper reg-set Resolution 800x600 zero
    launch "$CASE_DIR/saver.log" "$cwd" "$E2E_RUN_DIR/Kestrion.scr" /s
    wait_window Error
    helper click Error 1
    expect_exit "$PROGRAM_PID" 0 "the saver that could not set 800x600"
}

# ---------------------------------------------------------------------------
# Windows as people run it: the panel's own shape, every monitor, the preview
# in the Settings dialog, and screenshots from a folder the user may not write.

# own_display SCREEN: a display of this size with a prefix of its own for the
# rest of the case (Wine keeps the screen size a prefix started on).
own_display() {
    start_xvfb "$CASE_DIR" "$1"
    CASE_CLEANUP+=("WINEPREFIX='$CASE_DIR/prefix' stop_wine; stop_xvfb; rm -rf '$CASE_DIR/prefix'")
    SCREEN_WIDTH=${1%%x*}
    SCREEN_HEIGHT=${1#*x}
    SCREEN_HEIGHT=${SCREEN_HEIGHT%%x*}
}

# write_ball DIR: a ball-shaped ship in one plain colour (the hull paint), so
# that every ship is drawn as a disc.
write_ball() {
    mkdir -p "$1"
    awk 'BEGIN {
        pi = 3.14159265358979; rings = 12; sides = 16
        print "mtllib ball.mtl"
        print "o hull"
        for (i = 0; i <= rings; i++)
            for (j = 0; j < sides; j++) {
                a = pi * i / rings; b = 2 * pi * j / sides
                printf "v %.5f %.5f %.5f\n", sin(a) * cos(b), cos(a), sin(a) * sin(b)
                printf "vn %.5f %.5f %.5f\n", sin(a) * cos(b), cos(a), sin(a) * sin(b)
            }
        print "usemtl paint"
        for (i = 0; i < rings; i++)
            for (j = 0; j < sides; j++) {
                p = i * sides + j + 1; q = i * sides + (j + 1) % sides + 1
                printf "f %d//%d %d//%d %d//%d %d//%d\n", p, p, q, q, q + sides, q + sides, p + sides, p + sides
            }
    }' >"$1/ball.obj"
    printf 'newmtl paint\nKd 1 0 1\n' >"$1/ball.mtl"
}

# ball_battle_is_round CWD: the saver (Desktop, one fleet of balls and no
# enemy, so that no beam or blast covers them) from CWD; F12 screenshots until
# one shows whole balls (not overlapping), all round.
ball_battle_is_round() {
    local cwd=$1 i n
    helper reg-delete
    helper reg-set Resolution Desktop zero
    helper reg-set NumList1Items 1
    helper reg-set List1Item0 "$(fleet_entry Ball 3 "Round test ships")"
    helper reg-set NumList2Items 0
    xdotool mousemove $((SCREEN_WIDTH / 2)) $((SCREEN_HEIGHT / 2))
    launch "$CASE_DIR/saver.log" "$cwd" "$CASE_DIR/program/Kestrion.scr" /s
    wait_saver
    helper cursor $((SCREEN_WIDTH / 2)) $((SCREEN_HEIGHT / 2))
    # The balls start together at the centre and part as they cruise.
    for ((i = 0; i < 20; i++)); do
        n=$(printf %.2d $i)
        screenshot "$cwd" "$n"
        # shellcheck disable=SC2086 # three numbers
        "$E2E_INSPECT" round "$cwd/KestrionScreen$n.bmp" $HULL_RGB >"$cwd/round-$n.txt" 2>&1 &&
            break
        ((i < 19)) || fail "$(cat "$cwd/round-$n.txt")"
    done
    say "$(grep '^round:' "$cwd/round-$n.txt") at ${SCREEN_WIDTH}x$SCREEN_HEIGHT"
    xdotool key Escape
    expect_exit "$PROGRAM_PID" 1 "the saver after Escape"
}

# "Desktop" on a 16:9 panel draws a ball round, as on a 4:3 one (the control):
# the view widens with the panel instead of being stretched over it.
case_desktop_keeps_the_shape() {
    copy_program "$CASE_DIR/program"
    write_ball "$CASE_DIR/model"
    forge "$CASE_DIR/model" import ball.obj -o "$(winepath -w "$CASE_DIR/program/Ball.ast")" \
        --name Ball --description "Round test ships" --length 0.7 --beam 0,1,0 --shield 0,0.6,0
    expect_eq "$EXIT_CODE" 0 "import of the ball ($(cat "$FORGE_LOG"))"
    ball_battle_is_round "$CASE_DIR/cwd-4x3"

    own_display 960x540x24
    open_prefix "$CASE_DIR/prefix" "$CASE_DIR/prefix.log"
    ball_battle_is_round "$CASE_DIR/cwd-16x9"
}

# Two monitors side by side: the saver's window covers both, the battle fills
# the primary (left) at its size, the other is black, and a mouse move on the
# other one ends the run.
case_saver_on_two_monitors() {
    load_races
    own_display 1600x600x24
    command -v xrandr >/dev/null || fail "xrandr is not installed; run scripts/setup"
    if ! xrandr --setmonitor left 800/211x600/159+0+0 screen >>"$CASE_DIR/xrandr.log" 2>&1 ||
        ! xrandr --setmonitor right 800/211x600/159+800+0 none >>"$CASE_DIR/xrandr.log" 2>&1; then
        fail "xrandr cannot make two monitors; see $CASE_DIR/xrandr.log"
    fi
    # A grey desktop, so that a monitor the saver leaves uncovered shows.
    xsetroot -solid grey50 || fail "xsetroot cannot paint the desktop"
    # Without RandR Wine reads the monitors through Xinerama, which lists these two.
    open_prefix "$CASE_DIR/prefix" "$CASE_DIR/prefix.log"
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f \
        </dev/null >>"$CASE_DIR/prefix.log" 2>&1 || fail "cannot turn RandR off in Wine"
    stop_wine
    open_prefix "$CASE_DIR/prefix" "$CASE_DIR/prefix.log"
    SCREEN_WIDTH=800 SCREEN_HEIGHT=600

    configure_battle
    helper reg-set Resolution Desktop zero
    local cwd="$CASE_DIR/cwd"
    xdotool mousemove 400 300
    launch "$CASE_DIR/saver.log" "$cwd" "$E2E_RUN_DIR/Kestrion.scr" /s
    wait_saver
    helper window-rect "$SAVER_CAPTION"
    expect_eq "$HELPER_OUT" "0 0 1600 600" "the saver window over both monitors"
    helper cursor 400 300
    judged_screenshot "$cwd" picture "$E2E_RUN_DIR/Explosion.as" ||
        fail "F12 does not save the primary monitor's battle"

    battle_beside_black 0 800 "$E2E_RUN_DIR/Explosion.as"

    xdotool mousemove 1200 300
    expect_exit "$PROGRAM_PID" 1 "the saver after a mouse move on the right monitor"
}

# The preview: a window with the Settings dialog's 152 x 112 little monitor
# gets a child of the saver's process at its size, which draws the battle
# (seen through the test-only screenshot hook: Wine shows no GL child of
# another process), ignores keys and clicks, and ends with 0 once its parent
# is closed.
case_preview_draws_in_a_window() {
    load_races
    configure_battle
    local cwd="$CASE_DIR/cwd" host="Preview host"
    mkdir -p "$cwd"
    start "$CASE_DIR/host.log" env KESTRION_BENCH_SCREENSHOT=15 \
        KESTRION_BENCH_LOG="$(winepath -w "$CASE_DIR/bench.log")" wine "$E2E_HELPER" \
        host-preview "$host" 152 112 "$(winepath -w "$cwd")" \
        "$(winepath -w "$E2E_RUN_DIR/Kestrion.scr")"
    PROGRAM_PID=$STARTED_PID
    wait_until "$START_SECONDS" "the saver's process" grep -q '^pid ' "$CASE_DIR/host.log" ||
        fail "the host did not start the saver: $(cat "$CASE_DIR/host.log")"
    local saver
    saver=$(sed -n 's/^pid //p' "$CASE_DIR/host.log")
    WINDOWS_PIDS+=("$saver")
    preview_child() {
        try_helper child-window "$host" && [ "$HELPER_OUT" = "152 112 visible $saver" ]
    }
    wait_until "$START_SECONDS" "the preview's window" preview_child ||
        fail "no visible 152 x 112 child of the saver's process: ${HELPER_OUT:-$HELPER_ERROR}"

    # The preview saves a frame every 15: the first of six that shows the battle.
    local shot n size=$((456 * 112 + 54)) battle=no
    for n in 00 01 02 03 04 05; do
        shot="$cwd/KestrionScreen$n.bmp"
        wait_until "$START_SECONDS" "$shot" complete_file "$shot" $size ||
            fail "the preview drew no frame $n"
        if "$E2E_INSPECT" picture "$shot" "$E2E_RUN_DIR/Explosion.as" \
            >"$CASE_DIR/preview-$n.check" 2>&1; then
            battle=yes
            break
        fi
    done
    [ $battle = yes ] || fail "no frame of the preview shows the battle over the background"

    # Input: a frame saved after the next one proves it was handled and ignored.
    helper post-input "$host"
    xdotool search --name "^$host\$" windowfocus %1 key a mousemove --window %1 70 60 click 1 \
        >/dev/null || fail "xdotool cannot reach the window \"$host\""
    local count
    count=$(find "$cwd" -name 'KestrionScreen*.bmp' | wc -l)
    shot="$cwd/KestrionScreen$(printf %.2d $((count + 1))).bmp"
    wait_until "$START_SECONDS" "$shot" complete_file "$shot" $size ||
        fail "the preview stopped drawing after keys and clicks"
    preview_child || fail "the preview's window is gone after keys and clicks"

    helper close "$host"
    await "$PROGRAM_PID" "$END_SECONDS" || fail "the host still runs after its window closed"
    expect_eq "$(sed -n 's/^exit //p' "$CASE_DIR/host.log")" 0 "the preview after its parent went"
    # About 30 frames a second at most (a loaded machine only makes fewer).
    local frames elapsed
    frames=$(tr -d '\r' <"$CASE_DIR/bench.log" | sed -n 's/^frames=//p')
    elapsed=$(tr -d '\r' <"$CASE_DIR/bench.log" | sed -n 's/^elapsed_ms=//p')
    say "preview: $frames frames in $elapsed ms"
    ((frames <= elapsed * 31 / 1000 + 2)) || fail "the preview drew $frames frames in $elapsed ms"
}

# lock_folder DIR: nobody may create files in DIR until the case ends: the
# access list allows reading only (Wine keeps it as the folder's mode bits);
# root, whom mode bits do not stop, gets the folder made immutable as well.
lock_folder() {
    local windows_path
    windows_path=$(winepath -w "$1")
    [ "$(id -u)" = 0 ] && CASE_CLEANUP+=("chattr -i '$1'")
    CASE_CLEANUP+=("try_helper dir-unlock '$windows_path'")
    helper dir-lock "$windows_path"
    if [ "$(id -u)" = 0 ]; then chattr +i "$1" || fail "cannot make $1 immutable"; fi
    ! touch "$1/probe" 2>/dev/null || fail "$1 still takes new files"
}

# F12 from a folder the user may not write into (as the system folder Windows
# starts a saver in) lands in the user's Pictures\Kestrion, numbered there;
# when that refuses too, nothing is written and the battle goes on.
case_screenshot_lands_in_pictures() {
    load_races
    configure_battle
    local cwd="$CASE_DIR/locked" pictures
    mkdir -p "$cwd"
    helper known-folder pictures
    pictures=$(winepath -u "$HELPER_OUT" 2>/dev/null) || fail "no Unix path for $HELPER_OUT"
    # Wine links Pictures to the Unix home: a folder of the prefix's own instead.
    if [ -L "$pictures" ]; then
        rm "$pictures" || fail "cannot remove the link $pictures"
        mkdir "$pictures" || fail "cannot make $pictures"
    fi
    rm -rf "$pictures/Kestrion"
    lock_folder "$cwd"

    xdotool mousemove 400 300
    launch "$CASE_DIR/saver.log" "$cwd" "$E2E_RUN_DIR/Kestrion.scr" /s
    wait_saver
    helper cursor 400 300
    judged_screenshot "$pictures/Kestrion" picture "$E2E_RUN_DIR/Explosion.as" ||
        fail "no screenshot in Pictures shows the battle"
    screenshot "$pictures/Kestrion" "$(next_shot "$pictures/Kestrion")"
    local taken
    taken=$((10#$(next_shot "$pictures/Kestrion")))
    [ -z "$(ls -A "$cwd")" ] || fail "files in the locked folder: $(ls "$cwd")"

    lock_folder "$pictures/Kestrion"
    xdotool key F12 key a # the key is handled after F12, so the saver outlived it
    expect_exit "$PROGRAM_PID" 1 "the saver after F12 with nowhere to write, then a key"
    expect_eq "$(find "$pictures/Kestrion" "$cwd" -name 'KestrionScreen*' | wc -l)" "$taken" \
        "screenshots written"
}

# ---------------------------------------------------------------------------
# The pace of the frames, and none while nobody can see them.

# bench_field LOG NAME: a value of the bench log (a Windows text file).
bench_field() { tr -d '\r' <"$1" | sed -n "s/^$2=//p"; }

# below A B: the decimal A is less than B.
below() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }

# The saver with empty fleets on a display with a 30 Hz mode (a rate that the
# 60 Hz taken for an unknown one would not meet): the swap does not wait under
# Wine on Xvfb, so the saver holds its frames to the display's rate itself.
# The bench's unpaced mode draws as fast as it can. The CPU time per second of
# the saver's process is reported for both; paced takes less.
case_saver_paced_to_the_display() {
    own_display 800x600x24
    xvfb_refresh 30 >"$CASE_DIR/xrandr.log" 2>&1 ||
        fail "xrandr cannot give Xvfb a 30 Hz mode; see $CASE_DIR/xrandr.log"
    open_prefix "$CASE_DIR/prefix" "$CASE_DIR/prefix.log"
    helper reg-delete
    helper reg-set Resolution 800x600 zero
    helper reg-set NumList1Items 0
    helper reg-set NumList2Items 0
    local pace unpaced_fps="" unpaced_cpu=""
    for pace in unpaced paced; do
        local log="$CASE_DIR/$pace.bench" frames=150 unpaced=1
        [ $pace = paced ] && frames=120 unpaced=0
        xdotool mousemove 400 300
        start "$CASE_DIR/$pace.log" env -C "$CASE_DIR" KESTRION_BENCH_FRAMES=$frames \
            KESTRION_BENCH_UNPACED=$unpaced KESTRION_BENCH_LOG="$(winepath -w "$log")" \
            wine "$E2E_RUN_DIR/Kestrion.scr" /s
        PROGRAM_PID=$STARTED_PID
        await "$PROGRAM_PID" 120 || fail "$pace: $frames frames took more than 120 s"
        expect_eq "$EXIT_CODE" 1 "the saver after its frames, $pace"
        expect_eq "$(bench_field "$log" frames)" $frames "frames, $pace"
        local elapsed cpu fps
        elapsed=$(bench_field "$log" elapsed_ms)
        cpu=$(bench_field "$log" cpu_ms)
        fps=$(awk -v f=$frames -v ms="$elapsed" 'BEGIN { printf "%.1f", f * 1000 / (ms > 0 ? ms : 1) }')
        cpu=$(awk -v c="$cpu" -v ms="$elapsed" 'BEGIN { printf "%.2f", c / (ms > 0 ? ms : 1) }')
        say "$pace: $frames frames in $elapsed ms, $fps frames a second, CPU $cpu of a core"
        if [ $pace = unpaced ]; then
            unpaced_fps=$fps unpaced_cpu=$cpu
            continue
        fi
        below "$fps" 45 || fail "paced: $fps frames a second on a 30 Hz display"
        # A machine too busy to outrun the display has nothing to hold back.
        if below 45 "$unpaced_fps"; then
            below 15 "$fps" || fail "paced: $fps frames a second, unpaced $unpaced_fps"
            below "$cpu" "$unpaced_cpu" || fail "paced takes $cpu of a core, unpaced $unpaced_cpu"
        fi
    done
}

# Nothing is drawn while the display is off: the console display's state
# reaches the saver's window as Windows sends it (off, dimmed, on). While off
# or dimmed the bench hooks' frames (a screenshot every 30th) stand still;
# after "on" they come again, and the battle's clock has not jumped over the
# time the display was off: its longest step from one frame to the next stays
# well below that time.
case_nothing_drawn_while_the_display_is_off() {
    load_races
    configure_battle
    local cwd="$CASE_DIR/cwd"
    mkdir -p "$cwd"
    xdotool mousemove 400 300
    start "$CASE_DIR/saver.log" env -C "$cwd" KESTRION_BENCH_SCREENSHOT=30 \
        KESTRION_BENCH_LOG="$(winepath -w "$CASE_DIR/bench.log")" wine "$E2E_RUN_DIR/Kestrion.scr" /s
    PROGRAM_PID=$STARTED_PID
    wait_saver
    helper cursor 400 300
    # shellcheck disable=SC2317 # called through wait_until
    shots() { find "$cwd" -name 'KestrionScreen*.bmp' | wc -l; }
    # shellcheck disable=SC2317
    at_least() { (($(shots) >= $1)); }
    wait_until "$START_SECONDS" "two frame screenshots" at_least 2 || fail "the saver draws no frames"

    local off_began off_ms before state
    off_began=$(date +%s%N)
    helper display-state "$SAVER_CAPTION" 0
    before=$(shots)
    for state in 0 2; do
        [ $state = 2 ] && helper display-state "$SAVER_CAPTION" 2
        # Watched for two seconds: no frame may come.
        local tries
        for ((tries = 0; tries < 20; tries++)); do
            sleep 0.1
            expect_eq "$(shots)" "$before" "frame screenshots while the display is $([ $state = 0 ] && echo off || echo dimmed)"
        done
    done
    helper display-state "$SAVER_CAPTION" 1
    off_ms=$((($(date +%s%N) - off_began) / 1000000))
    wait_until "$START_SECONDS" "frames after the display came back" at_least $((before + 2)) ||
        fail "no frames after the display came back"
    # One of the next six frames must show the battle: an explosion may cover a
    # tile in one. A shot is judged once the next has begun, so it is whole.
    local shot n battle=no
    for ((n = before + 1; n <= before + 6; n++)); do
        wait_until "$START_SECONDS" "frame screenshot $((n + 1))" at_least $((n + 1)) || break
        shot=$(find "$cwd" -name 'KestrionScreen*.bmp' | sort | sed -n "${n}p")
        if "$E2E_INSPECT" picture "$shot" "$E2E_RUN_DIR/Explosion.as" >"$shot.check" 2>&1; then
            battle=yes
            break
        fi
    done
    [ $battle = yes ] || fail "no frame after the display came back shows the battle; see $cwd/*.check"
    xdotool key a
    expect_exit "$PROGRAM_PID" 1 "the saver after a key"
    local step
    step=$(bench_field "$CASE_DIR/bench.log" longest_step_ms)
    say "the display was off or dimmed for $off_ms ms; the battle's longest step was $step ms"
    ((step < off_ms / 2)) || fail "the battle's clock jumped $step ms over the $off_ms ms off"
}

# "Desktop" on a 16:9 panel with no ships: the sky keeps its shape (round
# stars) and shows no join between its tiles.
case_desktop_sky_keeps_its_shape() {
    own_display 1920x1080x24
    open_prefix "$CASE_DIR/prefix" "$CASE_DIR/prefix.log"
    helper reg-delete
    helper reg-set Resolution Desktop zero
    helper reg-set NumList1Items 0
    helper reg-set NumList2Items 0
    local cwd="$CASE_DIR/cwd"
    xdotool mousemove $((SCREEN_WIDTH / 2)) $((SCREEN_HEIGHT / 2))
    launch "$CASE_DIR/saver.log" "$cwd" "$E2E_RUN_DIR/Kestrion.scr" /s
    wait_saver
    helper cursor $((SCREEN_WIDTH / 2)) $((SCREEN_HEIGHT / 2))
    screenshot "$cwd" 00
    "$E2E_INSPECT" sky "$cwd/KestrionScreen00.bmp" || fail "the sky on a 16:9 panel"
    xdotool key Escape
    expect_exit "$PROGRAM_PID" 1 "the saver after Escape"
}

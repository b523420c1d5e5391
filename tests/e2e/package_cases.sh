# shellcheck shell=bash
# The end-to-end cases of the packages (sourced by tests/e2e/run after cases.sh,
# whose helpers they use): the installer and the zip from E2E_PACKAGES, version
# E2E_VERSION, installed and unpacked as a user would, in the suite's own fresh
# Wine prefix; E2E_EARLIER_SETUP, a test build of the installer with one file
# more, stands in for an earlier version. Wine runs every program as an
# administrator, so a plain /S installs for all users.

UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrion'
USER_UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrion'
DESKTOP_KEY='HKCU\Control Panel\Desktop'
SETTINGS_KEYS=('HKLM\Software\Quorvane\Kestrion' 'HKCU\Software\Quorvane\Kestrion')
INSTALL_DIR='C:\Program Files\Kestrion'

package_file() {
    local file="$E2E_PACKAGES/$1"
    [ -f "$file" ] || fail "$file is missing; make the packages with scripts/package"
    echo "$file"
}

unix_path() { winepath -u "$1" 2>/dev/null || fail "winepath cannot name $1"; }
windows_path() { winepath -w "$1" 2>/dev/null || fail "winepath cannot name $1"; }

# reg_value KEY NAME: prints the value's data; fails (status 1) when it is missing.
# Wine's reg writes through a file, so that no Wine process holds a pipe of ours.
reg_value() {
    wine reg query "$1" /v "$2" </dev/null >"$CASE_DIR/reg.out" 2>>"$CASE_DIR/reg.err" || return 1
    tr -d '\r' <"$CASE_DIR/reg.out" | sed -n "s/^ *$2 \{2,\}REG_[A-Z_]* \{2,\}//p" | grep .
}

reg_key_exists() { wine reg query "$1" </dev/null >/dev/null 2>&1; }
# entry_gone KEY: that uninstall entry is not there.
entry_gone() { ! reg_key_exists "$1"; }
gone() { [ ! -e "$1" ]; }

# reg_export KEY FILE: the key and its values as text, to compare before and after.
reg_export() {
    rm -f "$2"
    wine reg export "$1" "$(windows_path "$2")" </dev/null >/dev/null 2>&1 ||
        fail "cannot export $1"
}

# sorted_listing DIR: the file names in DIR, one a line.
sorted_listing() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }

# unpack ZIP DIR
unpack() {
    mkdir -p "$2"
    (cd "$2" && cmake -E tar xf "$1") || fail "cannot unpack $1"
}

# windows_env NAME: an environment variable as Windows programs see it.
windows_env() {
    wine cmd /c echo "%$1%" </dev/null >"$CASE_DIR/env.out" 2>/dev/null || fail "cmd cannot echo %$1%"
    tr -d '\r' <"$CASE_DIR/env.out" | grep -v '%' | grep . || fail "Windows has no %$1%"
}

# install_silently [SWITCH...]: the package's installer with /S and SWITCHES;
# INSTALLER names another build of it.
install_silently() {
    local setup=${INSTALLER:-}
    [ -n "$setup" ] || setup=$(package_file "Kestrion-$E2E_VERSION-setup.exe")
    [ -f "$setup" ] || fail "$setup is missing; make the packages with scripts/package"
    start "$CASE_DIR/setup.log" wine "$setup" /S "$@"
    await "$STARTED_PID" 180 || fail "the installer still runs after 180 s"
    expect_eq "$EXIT_CODE" 0 "exit code of $setup /S"
}

# The uninstaller hands over to a copy of itself and ends at once; the copy's
# work shows as the folder and the uninstall entry going.
uninstall_silently() {
    local folder=$1 key=${2:-$UNINSTALL_KEY}
    start "$CASE_DIR/uninstall.log" wine "$folder/uninstall.exe" /S
    await "$STARTED_PID" 120 || fail "the uninstaller still runs after 120 s"
    expect_eq "$EXIT_CODE" 0 "exit code of uninstall.exe /S"
    wait_until 120 "the uninstaller to remove $folder" gone "$folder" ||
        fail "files left after uninstalling: $(sorted_listing "$folder" | tr '\n' ' ')"
    wait_until 60 "the uninstall entry to go" entry_gone "$key" ||
        fail "the uninstall entry is still there"
}

# saver_draws_fleets WINDOWS_PROGRAM: starts the saver as Windows starts it,
# "PROGRAM" /s from a current directory of its own; its F12 screenshot shows
# the background and ships, and a key ends it with exit code 1.
saver_draws_fleets() {
    local cwd="$CASE_DIR/cwd"
    mkdir -p "$cwd"
    xdotool mousemove 400 300
    start "$CASE_DIR/run.log" wine "$E2E_HELPER" run "$(windows_path "$cwd")" "\"$1\" /s" \
        $((START_SECONDS * 2000))
    PROGRAM_PID=$STARTED_PID
    wait_saver
    WINDOWS_PIDS+=("$(sed -n 2p "$CASE_DIR/helper.out")")
    judged_screenshot "$cwd" picture "$E2E_RUN_DIR/Explosion.as" ||
        fail "no screenshot of the saver shows ships over the background"
    xdotool key space
    await "$PROGRAM_PID" "$END_SECONDS" || fail "the saver still runs after a key"
    expect_eq "$(grep '^exit' "$CASE_DIR/run.log")" "exit 1" "the saver after a key"
}

# Installed silently: the package's files in Program Files\Kestrion with the
# version, the uninstall entry, SCRNSAVE.EXE naming the installed saver, which
# draws its fleets; uninstalled silently: no file, no entry, no SCRNSAVE.EXE,
# and the user's settings unchanged.
case_installer() {
    load_races
    configure_battle
    reg_value "$DESKTOP_KEY" SCRNSAVE.EXE && fail "a fresh prefix has a screen saver set"
    install_silently

    local folder
    folder=$(unix_path "$INSTALL_DIR")
    installed_as_zip "$folder"

    helper file-version "$INSTALL_DIR\\Kestrion.scr"
    {
        grep -qx "Fixed=$E2E_VERSION.0" <<<"$HELPER_OUT" &&
            grep -qx "ProductVersion=$E2E_VERSION" <<<"$HELPER_OUT" &&
            grep -qx "ProductName=Kestrion" <<<"$HELPER_OUT"
    } || fail "the installed saver's version resource: $HELPER_OUT"
    expect_eq "$(reg_value "$UNINSTALL_KEY" DisplayName)" Kestrion "uninstall entry name"
    expect_eq "$(reg_value "$UNINSTALL_KEY" DisplayVersion)" "$E2E_VERSION" "uninstall entry version"
    expect_eq "$(reg_value "$UNINSTALL_KEY" UninstallString)" "\"$INSTALL_DIR\\uninstall.exe\"" \
        "uninstall command"

    local saver
    saver=$(reg_value "$DESKTOP_KEY" SCRNSAVE.EXE) || fail "the installer set no SCRNSAVE.EXE"
    say "SCRNSAVE.EXE: $saver"
    [ "$(unix_path "$saver")" -ef "$folder/Kestrion.scr" ] ||
        fail "SCRNSAVE.EXE is $saver, not the installed Kestrion.scr"
    saver_draws_fleets "$saver"

    # The settings as the user left them, in both places they may be.
    wine reg add "${SETTINGS_KEYS[1]}" /v NumList1Items /d 0 /f </dev/null >/dev/null 2>&1 ||
        fail "cannot write ${SETTINGS_KEYS[1]}"
    local key n=0
    for key in "${SETTINGS_KEYS[@]}"; do
        reg_export "$key" "$CASE_DIR/settings-$n-before.reg"
        n=$((n + 1))
    done
    uninstall_silently "$folder"
    reg_value "$DESKTOP_KEY" SCRNSAVE.EXE && fail "SCRNSAVE.EXE still names the removed saver"
    n=0
    for key in "${SETTINGS_KEYS[@]}"; do
        reg_export "$key" "$CASE_DIR/settings-$n-after.reg"
        cmp -s "$CASE_DIR/settings-$n-before.reg" "$CASE_DIR/settings-$n-after.reg" ||
            fail "uninstalling changed $key"
        n=$((n + 1))
    done
}

# Uninstalling leaves a screen saver the user chose since alone.
case_uninstall_keeps_another_screen_saver() {
    install_silently
    local other='C:\windows\system32\scrnsave.scr'
    wine reg add "$DESKTOP_KEY" /v SCRNSAVE.EXE /d "$other" /f </dev/null >/dev/null 2>&1 ||
        fail "cannot set SCRNSAVE.EXE"
    uninstall_silently "$(unix_path "$INSTALL_DIR")"
    expect_eq "$(reg_value "$DESKTOP_KEY" SCRNSAVE.EXE)" "$other" "SCRNSAVE.EXE after uninstalling"
}

# installed_as_zip FOLDER: the zip's files, byte for byte, and the uninstaller,
# nothing else.
installed_as_zip() {
    local unpacked="$CASE_DIR/zip"
    rm -rf "$unpacked"
    unpack "$(package_file "Kestrion-$E2E_VERSION-win64.zip")" "$unpacked"
    [ -f "$1/uninstall.exe" ] || fail "no uninstall.exe in $1"
    diff -r -x uninstall.exe "$unpacked" "$1" >"$CASE_DIR/diff.txt" ||
        fail "the installed files are not the zip's: $(head -c 300 "$CASE_DIR/diff.txt")"
}

# expect_saver FOLDER: SCRNSAVE.EXE names the Kestrion.scr in FOLDER.
expect_saver() {
    local saver
    saver=$(reg_value "$DESKTOP_KEY" SCRNSAVE.EXE) || fail "the installer set no SCRNSAVE.EXE"
    [ "$(unix_path "$saver")" -ef "$1/Kestrion.scr" ] ||
        fail "SCRNSAVE.EXE is $saver, not $1/Kestrion.scr"
}

# "Only for me", silently: the files in the user's Programs folder, the uninstall
# entry under HKCU and none for all users, the user's screen saver set;
# uninstalled silently: no file, no entry, no SCRNSAVE.EXE.
case_installer_current_user() {
    local programs folder
    programs="$(windows_env LOCALAPPDATA)\Programs\Kestrion"
    folder=$(unix_path "$programs")
    install_silently /CurrentUser
    installed_as_zip "$folder"
    gone "$(unix_path "$INSTALL_DIR")" || fail "files for all users in $INSTALL_DIR"
    entry_gone "$UNINSTALL_KEY" || fail "an uninstall entry for all users"
    expect_eq "$(reg_value "$USER_UNINSTALL_KEY" InstallLocation)" "$programs" \
        "the user's uninstall entry's folder"
    expect_eq "$(reg_value "$USER_UNINSTALL_KEY" UninstallString)" "\"$programs\\uninstall.exe\"" \
        "the user's uninstall command"
    expect_saver "$folder"

    uninstall_silently "$folder" "$USER_UNINSTALL_KEY"
    reg_value "$DESKTOP_KEY" SCRNSAVE.EXE && fail "SCRNSAVE.EXE still names the removed saver"
    return 0
}

# Installed over an earlier installation (a build with one file more, for the
# user), the package goes where that one was and leaves none of its files; the
# user's settings and screen saver stay.
case_install_over_earlier() {
    local programs folder
    programs="$(windows_env LOCALAPPDATA)\Programs\Kestrion"
    folder=$(unix_path "$programs")
    INSTALLER=$E2E_EARLIER_SETUP install_silently /CurrentUser
    [ -f "$folder/Retired.txt" ] || fail "the earlier build did not install Retired.txt"
    wine reg add "${SETTINGS_KEYS[1]}" /v NumList1Items /d 0 /f </dev/null >/dev/null 2>&1 ||
        fail "cannot write ${SETTINGS_KEYS[1]}"
    reg_export "${SETTINGS_KEYS[1]}" "$CASE_DIR/settings-before.reg"

    # No switch: the mode and folder of the earlier installation.
    install_silently
    installed_as_zip "$folder"
    gone "$(unix_path "$INSTALL_DIR")" || fail "installed for all users, not over the earlier one"
    expect_saver "$folder"
    reg_export "${SETTINGS_KEYS[1]}" "$CASE_DIR/settings-after.reg"
    cmp -s "$CASE_DIR/settings-before.reg" "$CASE_DIR/settings-after.reg" ||
        fail "installing over the earlier one changed ${SETTINGS_KEYS[1]}"
    uninstall_silently "$folder" "$USER_UNINSTALL_KEY"
}

# Unpacked into a folder whose path has a blank, the saver finds its data
# beside itself.
case_zip() {
    local zip folder="$CASE_DIR/my programs/Kestrion"
    zip=$(package_file "Kestrion-$E2E_VERSION-win64.zip")
    unpack "$zip" "$folder"
    local file
    for file in Kestrion.scr Explosion.as README.txt LICENSE.txt; do
        [ -f "$folder/$file" ] || fail "$file is not in $zip"
    done
    expect_eq "$(find "$folder" -name '*.ast' | wc -l)" "$(find "$E2E_RUN_DIR" -name '*.ast' | wc -l)" \
        "race files in $zip"
    grep -q $'^Kestrion '"$E2E_VERSION"$'\r$' "$folder/README.txt" ||
        fail "README.txt does not open with the version in Windows line ends"
    load_races
    configure_battle
    saver_draws_fleets "$(windows_path "$folder/Kestrion.scr")"
}

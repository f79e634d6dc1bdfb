#!/usr/bin/env bash
# End-to-end checks of the install and uninstall commands in a home folder of their own,
# whose path has a blank and Chinese characters in it, under Xvfb.
#   install_e2e.sh CASE
source "$(dirname "$0")/lib.sh"

SET_UP='<userdata first="250" needup="0"><date year="2027" month="5" day="1" /></userdata>'
INSTALL="$SOURCE_DIR/scripts/install.sh"
UNINSTALL="$SOURCE_DIR/scripts/uninstall.sh"

# The person's home; the installer's defaults below it are what is checked.
use_home() {
    export HOME="$WORK/家 home"
    mkdir -p "$HOME"
    unset TAVRO_HOME XDG_DATA_HOME XDG_CONFIG_HOME
    INSTALLED="$HOME/.local/share/Tavro"
    LAUNCHER="$HOME/.local/share/applications/tavro.desktop"
    AUTOSTART="$HOME/.config/autostart/tavro.desktop"
    ICON="$HOME/.local/share/icons/hicolor/scalable/apps/tavro.svg"
    PROFILE="$INSTALLED/Release/conf/userdata.xml"
}

# The X session's exit trap replaces the helpers' one, which also ends the programs and
# removes the work folder; it is set again.
desktop() {
    start_desktop
    trap e2e_cleanup EXIT
}

# Every file below the home folder, with size, mode and modification time.
home_listing() { (cd "$HOME" && find . -type f -printf '%p %s %m %T@\n' | sort); }
# Every path below the home folder.
home_paths() { (cd "$HOME" && find . | sort); }
# A process that has ended (reparented ones may stay a moment as zombies).
gone() { [ ! -e "/proc/$1" ] || [ "$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null)" = Z ]; }

install_from() { bash "$INSTALL" --from "$1" "${@:2}" >>"$WORK/install.out" 2>&1 || fail "install failed: $(cat "$WORK/install.out")"; }

valid_entries() {
    local out
    out=$(desktop-file-validate "$@" 2>&1) || fail "desktop-file-validate: $out"
    [ -z "$out" ] || fail "desktop-file-validate: $out"
}

# Runs a desktop entry as the desktop does and records the started program's pid, from the
# trace, so that cleanup ends it.
launch() {
    gio launch "$1" >>"$WORK/launch.out" 2>&1 || fail "gio launch $1: $(cat "$WORK/launch.out")"
}
launched_pid() {
    local pid
    wait_for "the program to start" test -s "$TRACE"
    pid=$(awk 'NR == 1 { print $1 }' "$TRACE")
    _e2e_pids+=("$pid")
    echo "$pid"
}

case_install_and_launch() {
    use_home
    desktop
    install_from "$STAGE_DIR"
    for f in "$INSTALLED/Release/Tavro" "$PROFILE" "$LAUNCHER" "$AUTOSTART" "$ICON"; do
        [ -f "$f" ] || fail "not installed: $f"
    done
    cmp -s "$ICON" "$STAGE_DIR/Skin/tavro_icon.svg" || fail "the icon is not the skin's art"
    diff -r "$STAGE_DIR" "$INSTALLED" >/dev/null || fail "the program folder differs from the build"
    valid_entries "$LAUNCHER" "$AUTOSTART"
    grep -qx 'Exec=.* -start' "$AUTOSTART" || fail "the autostart entry does not run -start"

    # Started from the applications menu, a new install asks for the due date.
    (cd / && launch "$LAUNCHER")
    local pid
    pid=$(launched_pid)
    wait_for "first-run mode" traced_by "$pid" "first run"
    wait_for "the setup window" shown 360 262
    [ "$(readlink "/proc/$pid/exe")" = "$INSTALLED/Release/Tavro" ] ||
        fail "the launcher started $(readlink "/proc/$pid/exe")"
    screenshot install-launched
    kill -TERM "$pid"
    wait_for "the program to end" gone "$pid"

    # Without autostart: no entry, and an earlier one goes.
    install_from "$STAGE_DIR" --no-autostart
    [ ! -e "$AUTOSTART" ] || fail "--no-autostart left the autostart entry"
    valid_entries "$LAUNCHER"
}

# At login the session runs the autostart entry: "-start" hands over to the restarter, which
# brings up the widget alone, the main window staying hidden.
case_autostart_brings_up_the_widget() {
    use_home
    desktop
    install_from "$STAGE_DIR"
    printf '%s\n' "$SET_UP" >"$PROFILE"
    launch "$AUTOSTART"
    local pid
    pid=$(E2E_TIMEOUT=60 launched_pid)
    wait_for "normal mode" traced_by "$pid" "normal mode"
    wait_for "the widget" shown 104 104
    wait_for "the tray icon" traced_by "$pid" "tray icon added"
    [ "$(readlink "/proc/$pid/exe")" = "$INSTALLED/Release/Tavro" ] ||
        fail "the restarter started $(readlink "/proc/$pid/exe")"
    [ "$(tr '\0' '\n' <"/proc/$pid/cmdline" | tail -n 1)" = -restart ] ||
        fail "the program was not started with -restart: $(tr '\0' ' ' <"/proc/$pid/cmdline")"
    local id
    for id in $(visible_windows); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        [ "$WIDTH" -le 104 ] && [ "$HEIGHT" -le 104 ] ||
            fail "a ${WIDTH}x${HEIGHT} window is shown besides the widget"
    done
    screenshot install-autostart
    kill -TERM "$pid"
    wait_for "the program to end" gone "$pid"
}

case_install_again_keeps_the_profile() {
    use_home
    install_from "$STAGE_DIR"
    printf '%s\n' "$SET_UP" >"$PROFILE"
    printf 'kept\n' >"$INSTALLED/Release/update.log"
    # The user switched the start at login off in the desktop's settings.
    sed -i 's/X-GNOME-Autostart-enabled=true/X-GNOME-Autostart-enabled=false/' "$AUTOSTART"
    local before
    before=$(home_listing)

    install_from "$STAGE_DIR"
    [ "$(home_listing)" = "$before" ] || fail "installing the same build again changed: $(diff <(echo "$before") <(home_listing) || true)"

    # An upgrade: one file changed, one new; only those two change.
    local next="$WORK/next"
    cp -a "$STAGE_DIR" "$next"
    printf '<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"/>\n' >"$next/Skin/badge.svg"
    printf 'new\n' >"$next/Release/data/new.txt"
    install_from "$next"
    local changed
    changed=$({ diff <(echo "$before") <(home_listing) || true; } | sed -n 's/^> \.\/\([^ ]*\) .*/\1/p' | sort | tr '\n' ' ')
    [ "$changed" = ".local/share/Tavro/Release/data/new.txt .local/share/Tavro/Skin/badge.svg " ] ||
        fail "the upgrade changed: $changed"
    grep -qx "$SET_UP" "$PROFILE" || fail "the profile was replaced: $(cat "$PROFILE")"
    grep -qx 'X-GNOME-Autostart-enabled=false' "$AUTOSTART" || fail "the autostart entry was switched on again"
    valid_entries "$LAUNCHER" "$AUTOSTART"
}

# An update the old install had staged, or was interrupted installing, would be put over the
# new install at the next start by the updater: a reinstall drops it, clears the profile's
# pending mark and nothing else of the profile, and the next start runs by itself.
case_install_again_drops_a_stale_update() {
    use_home
    desktop
    install_from "$STAGE_DIR"
    local pending='<userdata first="250" needup="1"><date year="2027" month="5" day="1" /></userdata>'
    printf '<?xml version="1.0" ?>\n%s\n' "$pending" >"$PROFILE"
    local release="$INSTALLED/Release"
    mkdir -p "$release/Update.staging/Release" "$release/update.kept/Release"
    cp "$release/version.xml" "$release/Update.staging/Release/version.xml"
    printf 'old\n' >"$release/update.kept/Release/Tavro"
    printf 'begin\n' >"$release/update.journal"

    install_from "$STAGE_DIR"
    local left
    for left in Update.staging update.kept update.journal; do
        [ ! -e "$release/$left" ] || fail "the reinstall left $left"
    done
    cmp -s "$PROFILE" <(printf '<?xml version="1.0" ?>\n%s\n' "${pending/needup=\"1\"/needup=\"0\"}") ||
        fail "the profile is not the old one with the mark cleared: $(cat "$PROFILE")"
    grep -q 'dropped' "$WORK/install.out" || fail "the installer did not say the update was dropped"

    # Started at login, the program comes up itself instead of handing over to the updater.
    (cd "$release" && exec ./Tavro -restart) >>"$WORK/tavro.out" 2>&1 &
    local pid=$!
    _e2e_pids+=("$pid")
    wait_for "normal mode" traced_by "$pid" "normal mode"
    [ ! -e "$release/update.log" ] || fail "the updater ran: $(cat "$release/update.log")"
    kill -TERM "$pid"
    wait_for "the program to end" gone "$pid"

    # Without a pending mark the profile is left alone, byte for byte.
    local before
    before=$(sha256sum "$PROFILE")
    install_from "$STAGE_DIR"
    [ "$(sha256sum "$PROFILE")" = "$before" ] || fail "a reinstall changed a profile with nothing pending"
}

case_uninstall_keeps_only_the_profile() {
    use_home
    desktop
    [ "$(home_paths)" = . ] || fail "the home is not empty"
    install_from "$STAGE_DIR"
    printf '%s\n' "$SET_UP" >"$PROFILE"
    # Uninstalled while it runs: the program is asked to quit first and saves its profile.
    launch "$LAUNCHER"
    local pid
    pid=$(launched_pid)
    wait_for "the widget" traced_by "$pid" "normal mode"
    bash "$UNINSTALL" >"$WORK/uninstall.out" 2>&1 || fail "uninstall failed: $(cat "$WORK/uninstall.out")"
    gone "$pid" || fail "the program still runs"
    traced_by "$pid" "shutdown" || fail "the program did not shut down normally"
    grep -q "$INSTALLED/Release/conf/" "$WORK/uninstall.out" || fail "uninstall did not say where the profile is: $(cat "$WORK/uninstall.out")"

    # Only the profile, the folders that lead to it and the standard folders stay. Qt's own
    # shader cache (made when the page is shown) is shared by every Qt program of the user.
    local left
    left=$(home_paths | grep -v '^\./\.cache' | tr '\n' ' ')
    [ "$left" = ". ./.config ./.local ./.local/share ./.local/share/Tavro ./.local/share/Tavro/Release ./.local/share/Tavro/Release/conf ./.local/share/Tavro/Release/conf/userdata.xml " ] ||
        fail "uninstall left: $left"
    grep -q 'year="2027"' "$PROFILE" || fail "the profile lost its date: $(cat "$PROFILE")"

    # A new install finds the profile, and removing it as well leaves the home as it was.
    install_from "$STAGE_DIR"
    grep -q 'year="2027"' "$PROFILE" || fail "the reinstall replaced the profile"
    bash "$UNINSTALL" --remove-profile >>"$WORK/uninstall.out" 2>&1 || fail "uninstall --remove-profile failed"
    left=$(home_paths | grep -v '^\./\.cache' | tr '\n' ' ')
    [ "$left" = ". ./.config ./.local ./.local/share " ] || fail "uninstall --remove-profile left: $left"

    # A folder that does not hold Tavro is never emptied.
    mkdir -p "$WORK/other/keep"
    TAVRO_HOME="$WORK/other" bash "$UNINSTALL" >>"$WORK/uninstall.out" 2>&1 && fail "uninstall emptied a foreign folder"
    [ -d "$WORK/other/keep" ] || fail "a foreign folder lost its files"
}

E2E_CASE=$1
"case_$1"
echo "PASS: $1"

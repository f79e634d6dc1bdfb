#!/usr/bin/env bash
# Removes what scripts/install.sh installed for the current user: the program folder, the
# launcher, the autostart entry and the icon. The profile (the due date) is kept in the
# program folder's Release/conf/, where a later install finds it again, unless
# --remove-profile is given.
#   scripts/uninstall.sh [--remove-profile]
# TAVRO_HOME picks the program folder (default ~/.local/share/Tavro). A Tavro running from
# that folder is asked to quit first, so that it saves its profile and writes nothing after.
set -euo pipefail
source "$(dirname "$0")/desktop_paths.sh"

remove_profile=0
while [ $# -gt 0 ]; do
    case $1 in
    --remove-profile) remove_profile=1 ;;
    -h | --help) show_help 8 ;;
    *) unknown_option "$1" ;;
    esac
    shift
done

# Processes of this user whose executable is one of the folder's three programs.
running_programs() {
    local exe pid target
    for pid in /proc/[0-9]*; do
        target=$(readlink "$pid/exe" 2>/dev/null) || continue
        for exe in Tavro Update Restart; do
            # An upgrade in place leaves a running copy on the replaced, deleted file.
            if [ "$target" = "$home/Release/$exe" ] || [ "$target" = "$home/Release/$exe (deleted)" ]; then
                echo "${pid#/proc/}"
            fi
        done
    done
}

# Removes DIR and the empty folders above it, up to and without STOP.
remove_empty_parents() {
    local dir=$1 stop=$2
    while [ "$dir" != "$stop" ] && [ "$dir" != / ] && rmdir "$dir" 2>/dev/null; do
        dir=$(dirname "$dir")
    done
}

have_folder=0
if [ -d "$home" ]; then
    home=$(cd "$home" && pwd)
    # Only a folder that holds Tavro is emptied, whatever TAVRO_HOME says.
    if [ ! -e "$home/Release/Tavro" ] && [ ! -e "$home/Release/version.xml" ]; then
        echo "uninstall: $home does not hold Tavro; nothing was removed" >&2
        exit 1
    fi
    have_folder=1
fi

pids=$(running_programs)
if [ $have_folder = 1 ] && [ -n "$pids" ]; then
    echo "uninstall: asking the running Tavro to quit"
    # shellcheck disable=SC2086
    kill -TERM $pids 2>/dev/null || true
    deadline=$((SECONDS + 15))
    while [ -n "$(running_programs)" ]; do
        if [ $SECONDS -ge $deadline ]; then
            echo "uninstall: Tavro did not quit; close it and run this again" >&2
            exit 1
        fi
        sleep 0.2
    done
fi

for file in "$launcher" "$autostart_entry" "$icon"; do
    rm -f "$file"
done
remove_empty_parents "$(dirname "$icon")" "$data_home"
remove_empty_parents "$(dirname "$launcher")" "$data_home"
remove_empty_parents "$(dirname "$autostart_entry")" "$config_home"
echo "uninstall: launcher, autostart entry and icon removed"

if [ $have_folder = 0 ]; then
    echo "uninstall: no program folder at $home"
    exit 0
fi

if [ $remove_profile = 1 ]; then
    rm -rf "$home"
    echo "uninstall: $home removed, with the profile"
    exit 0
fi

# Everything but the profile folder goes.
find "$home" -mindepth 1 -maxdepth 1 ! -name Release -exec rm -rf {} +
if [ -d "$home/Release" ]; then
    find "$home/Release" -mindepth 1 -maxdepth 1 ! -name conf -exec rm -rf {} +
fi
remove_empty_parents "$home/Release/conf" "$(dirname "$home")"
if [ -d "$home/Release/conf" ]; then
    echo "uninstall: the profile is kept in $home/Release/conf/ (a new install uses it again;"
    echo "uninstall: remove it with scripts/uninstall.sh --remove-profile)"
else
    echo "uninstall: $home removed (there was no profile to keep)"
fi

#!/usr/bin/env bash
# Installs Tavro for the current user as a desktop program: the program folder, its icon, a
# launcher in the applications menu and, unless --no-autostart is given, an entry that
# starts the widget at login. Builds first when the build is missing or out of date.
#   scripts/install.sh [--no-autostart] [--from STAGED_TREE] [--folder-only]
# TAVRO_HOME picks the program folder (default ~/.local/share/Tavro, as the run command).
# Running it again upgrades in place: the profile and whatever the program keeps in its
# folder stay, files that did not change are not touched, and an autostart entry the user
# disabled stays disabled. An update the program had downloaded for the old install is
# dropped, as it would put an older version back over the new one (the profile's pending
# mark is cleared; nothing else of the profile changes). --from installs an already built
# tree (build/stage) as it is. --folder-only installs the program folder alone, without
# launcher, icon or autostart entry (the run command uses it).
set -euo pipefail
# Replacement texts below are literal, even where a path holds "&".
shopt -u patsub_replacement 2>/dev/null || true
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/desktop_paths.sh"

autostart=1
from=""
folder_only=0
while [ $# -gt 0 ]; do
    case $1 in
    --no-autostart) autostart=0 ;;
    --folder-only) folder_only=1 ;;
    --from)
        [ $# -ge 2 ] || { echo "install: --from needs a folder" >&2; exit 2; }
        from=$2
        shift
        ;;
    -h | --help) show_help 9 ;;
    *) unknown_option "$1" ;;
    esac
    shift
done

profile_tail="Release/conf/userdata.xml"

if [ -z "$from" ]; then
    bash "$root/scripts/install-deps.sh"
    # The build folder may come from the tests, which trust the development key; what is
    # installed for a user never does (a distributor's own key, if configured, stays).
    cmake -S "$root" -B "$root/build" -G Ninja -DTAVRO_UPDATE_DEVELOPMENT_KEY=OFF >/dev/null
    # Only what the program folder holds; nothing is rebuilt when it is up to date.
    cmake --build "$root/build" -j "$(nproc)" --target stage_version_list
    from="$root/build/stage"
fi
from=$(cd "$from" && pwd)
for need in Release/Tavro Release/version.xml Skin/tavro_icon.svg "$profile_tail"; do
    [ -e "$from/$need" ] || { echo "install: $from is not a built program tree (no $need)" >&2; exit 1; }
done

# Writes TEXT to DST when it differs, through a new file renamed over the old one.
put_text() {
    local text=$1 dst=$2 tmp
    if [ -f "$dst" ] && cmp -s "$dst" <(printf '%s\n' "$text"); then
        return 0
    fi
    mkdir -p "$(dirname "$dst")"
    tmp=$(mktemp "$dst.XXXXXX")
    printf '%s\n' "$text" >"$tmp"
    chmod 644 "$tmp"
    mv -f "$tmp" "$dst"
}

# The program path as a desktop entry's Exec line wants it: quoted, with ", `, $ and \
# escaped inside the quotes, every backslash doubled again for the key's value, and %
# written as %%.
exec_quote() {
    local s=$1
    s=${s//\\/\\\\}
    s=${s//\"/\\\"}
    s=${s//\`/\\\`}
    s=${s//\$/\\\$}
    s=${s//\\/\\\\}
    s=${s//%/%%}
    printf '"%s"' "$s"
}

# A value of any other string key: backslashes doubled.
value_escape() {
    local s=$1
    printf '%s' "${s//\\/\\\\}"
}

# Fills a desktop entry template.
entry_text() {
    local text exec path
    text=$(<"$1")
    exec=$(exec_quote "$home/Release/Tavro")
    path=$(value_escape "$home/Release")
    text=${text//@EXEC@/"$exec"}
    text=${text//@PATH@/"$path"}
    printf '%s' "$text"
}

# The program folder: every file of the built tree whose content differs, except that an
# existing profile stays. Replaced files are unlinked first, so a running copy keeps the
# files it has open.
existing_profile=0
[ -f "$home/$profile_tail" ] && existing_profile=1
mkdir -p "$home"
home=$(cd "$home" && pwd)
declare -A installed=()
while IFS= read -r line; do
    installed[${line#*  }]=${line%%  *}
done < <(cd "$home" && find . -type f -print0 | xargs -0 -r sha256sum)
changed=()
while IFS= read -r line; do
    rel=${line#*  }
    if [ "$rel" = "./$profile_tail" ] && [ $existing_profile = 1 ]; then
        continue
    fi
    [ "${installed[$rel]:-}" = "${line%%  *}" ] || changed+=("$rel")
done < <(cd "$from" && find . -type f -print0 | xargs -0 sha256sum)
if [ ${#changed[@]} -gt 0 ]; then
    (cd "$from" && printf '%s\0' "${changed[@]}" |
        xargs -0 cp --parents --preserve=mode --remove-destination -t "$home")
fi

# What the old install's updater left: a staged update, and the journal and set-aside files
# of an install it was interrupted in. Either would put older files back over this install
# at the next start, so they go, and the profile's mark that hands the next start over to
# the updater is cleared; the rest of the profile stays byte for byte.
rm -rf "$home/Release/Update.staging" "$home/Release/update.journal" "$home/Release/update.kept"
if [ $existing_profile = 1 ]; then
    tmp=$(mktemp "$home/$profile_tail.XXXXXX")
    # The mark as the program reads it: an integer above 0 in the root element's "needup".
    if perl -0777 -ne '
        s{\A((?:\s|<\?.*?\?>|<!--.*?-->)*<[A-Za-z_][^>]*?\sneedup\s*=\s*)(["'"'"'])\s*\+?0*[1-9][0-9]*\s*\2}{$1${2}0$2}s
            or exit 3;
        print' "$home/$profile_tail" >"$tmp"; then
        chmod --reference="$home/$profile_tail" "$tmp"
        mv -f "$tmp" "$home/$profile_tail"
        echo "install: an update downloaded for the earlier install was dropped"
    else
        rm -f "$tmp"
    fi
fi

if [ $folder_only = 1 ]; then
    echo "install: Tavro installed in $home"
    [ $existing_profile = 0 ] || echo "install: the profile in $home/$profile_tail was kept"
    exit 0
fi

if ! cmp -s "$home/Skin/tavro_icon.svg" "$icon"; then
    mkdir -p "$(dirname "$icon")"
    cp --remove-destination "$home/Skin/tavro_icon.svg" "$icon"
fi
put_text "$(entry_text "$root/package/desktop/tavro.desktop.in")" "$launcher"

if [ $autostart = 1 ]; then
    text=$(entry_text "$root/package/desktop/tavro-autostart.desktop.in")
    # A user who switched the entry off in the desktop's settings keeps it switched off.
    if [ -f "$autostart_entry" ]; then
        if grep -qx 'Hidden=true' "$autostart_entry"; then
            text+=$'\n''Hidden=true'
        fi
        if grep -qx 'X-GNOME-Autostart-enabled=false' "$autostart_entry"; then
            text=${text/X-GNOME-Autostart-enabled=true/X-GNOME-Autostart-enabled=false}
        fi
    fi
    put_text "$text" "$autostart_entry"
else
    rm -f "$autostart_entry"
fi

echo "install: Tavro installed in $home"
if [ $existing_profile = 1 ]; then
    echo "install: the profile in $home/$profile_tail was kept"
fi
echo "install: launcher $launcher, icon $icon"
if [ $autostart = 1 ]; then
    echo "install: starts at login through $autostart_entry (install again with --no-autostart to stop that)"
else
    echo "install: does not start at login"
fi
echo "install: remove it with scripts/uninstall.sh"

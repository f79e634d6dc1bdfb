# Sourced by install.sh and uninstall.sh: where Tavro lives for the current user, and the
# handling of their options' help and mistakes.

# The program folder (as the run command), the launcher, the autostart entry and the icon.
home=${TAVRO_HOME:-$HOME/.local/share/Tavro}
data_home=${XDG_DATA_HOME:-$HOME/.local/share}
config_home=${XDG_CONFIG_HOME:-$HOME/.config}
launcher="$data_home/applications/tavro.desktop"
autostart_entry="$config_home/autostart/tavro.desktop"
icon="$data_home/icons/hicolor/scalable/apps/tavro.svg"

# Prints the calling script's header comment, from its second line to line $1.
show_help() {
    sed -n "2,$1p" "$0" | sed 's/^# \{0,1\}//'
    exit 0
}

unknown_option() {
    echo "$(basename "$0" .sh): unknown option $1 (see --help)" >&2
    exit 2
}

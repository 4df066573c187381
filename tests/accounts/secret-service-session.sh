#!/bin/sh
# Runs a command beside a private Secret Service, with no display needed:
#   secret-service-session.sh MODE HOME COMMAND...
# MODE "unlocked": a keyring daemon whose login keyring (password "pw") is unlocked;
# "locked": a session bus only, which starts the daemon on first use with the keyring locked;
# "none": no session bus at all.
# HOME keeps the keyring files from one run to the next. The exit status is the command's.
set -eu
mode=$1
home=$2
shift 2

# Inside the private bus: run the command, then end whatever keyring daemon owns the service
# (a test may have left it stopped), so that nothing outlives the bus.
in_session() {
  status=0
  "$@" || status=$?
  pid=$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.GetConnectionUnixProcessID string:org.freedesktop.secrets 2>/dev/null |
    sed -n 's/.*uint32 //p') || true
  if [ -n "$pid" ]; then
    kill -CONT "$pid" 2>/dev/null || true
    kill "$pid" 2>/dev/null || true
  fi
  exit "$status"
}

case $mode in
  session-unlocked)
    printf pw | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    in_session "$@"
    ;;
  session-locked)
    in_session "$@"
    ;;
esac

export HOME="$home"
export XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache"
export XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY GNOME_KEYRING_CONTROL DBUS_SESSION_BUS_ADDRESS

case $mode in
  unlocked | locked)
    exec dbus-run-session -- sh "$0" "session-$mode" "$home" "$@"
    ;;
  none)
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$home/no-bus"
    exec "$@"
    ;;
  *)
    echo "unknown mode: $mode" >&2
    exit 2
    ;;
esac

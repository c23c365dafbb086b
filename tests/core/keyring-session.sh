#!/bin/sh
# Runs a test program inside a private D-Bus session with its own unlocked gnome-keyring, in a
# throw-away home, so the user's own keyring is never touched. Without the tools the run is skipped
# (exit 77), except under CI=true, where it fails: CI installs them (scripts/install-deps).
set -u
for tool in dbus-run-session dbus-send gnome-keyring-daemon; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$tool is not installed; the keyring test needs it (scripts/install-deps)"
        [ "${CI:-}" = true ] && exit 1
        exit 77
    fi
done
home=$(mktemp -d) || exit 1
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache"
export XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# Inside the session: start the daemon, wait (bounded) for its name, run the test, stop the daemon by pid.
dbus-run-session -- sh -c '
    printf %s quillon-test | gnome-keyring-daemon --foreground --unlock --components=secrets >"$HOME/daemon.log" 2>&1 &
    daemon=$!
    up=0
    for i in $(seq 1 80); do
        if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
            org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q true; then
            up=1
            break
        fi
        kill -0 "$daemon" 2>/dev/null || break
        sleep 0.25
    done
    if [ "$up" != 1 ]; then
        echo "gnome-keyring-daemon did not start:"; cat "$HOME/daemon.log"
        kill "$daemon" 2>/dev/null; wait "$daemon" 2>/dev/null
        [ "${CI:-}" = true ] && exit 1
        exit 77
    fi
    "$@"
    rc=$?
    kill "$daemon" 2>/dev/null; wait "$daemon" 2>/dev/null
    exit $rc
' keyring-session "$@"

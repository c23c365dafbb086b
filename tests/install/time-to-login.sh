#!/usr/bin/env bash
# Times a new user's path from a fresh clone to the login window: git clone, then
# ./scripts/quillon-demo in the clone, until the window "Quillon" is listed by xwininfo; then a
# second start of the demo in the same clone (already built). Quillon is ended with SIGTERM by its
# process id. Run it under a display, e.g.:
#   xvfb-run -a -s "-screen 0 1280x900x24" tests/install/time-to-login.sh [REPOSITORY] [WORKDIR]
set -u
repo="${1:-$(cd "$(dirname "$0")/../.." && pwd)}"
work="${2:-$(mktemp -d)/clone}"
rm -rf "$work"

# Starts the demo in the clone and prints the seconds from `since` until the window shows.
run_demo() {
    local since=$1 log=$2
    ./scripts/quillon-demo >"$log" 2>&1 &
    local demo=$!
    while ! xwininfo -root -tree 2>/dev/null | grep -q '"Quillon"'; do
        sleep 0.2
        kill -0 "$demo" 2>/dev/null || { echo "the demo ended before its window showed (see $log)" >&2; return 1; }
    done
    echo "$(date +%s.%N) - $since" | bc
    sleep 1
    local quillon
    quillon=$(pgrep -P "$demo" -x quillon)
    [ -n "$quillon" ] && kill -TERM "$quillon"
    wait "$demo"
}

start=$(date +%s.%N)
git clone -q "$repo" "$work" || exit 1
cd "$work" || exit 1
first=$(run_demo "$start" "$work/demo-first.log") || exit 1
second=$(run_demo "$(date +%s.%N)" "$work/demo-second.log") || exit 1
echo "fresh clone to login window: ${first} s"
echo "later start to login window: ${second} s"

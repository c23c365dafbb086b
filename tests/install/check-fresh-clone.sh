#!/usr/bin/env bash
# Runs the README's commands in a fresh clone, as a new user would, without the desktop program:
# the install commands of "Installing" (configure and build exactly as written, plus
# -DQUILLON_BUILD_UI=OFF; installed into a temporary prefix instead of with sudo), then the
# quillon-cli commands of "Using a real gateway account" with a temporary HOME, and the
# installation check. Fails when a command fails or leaves the wrong result.
#
# Usage: check-fresh-clone.sh [REPOSITORY]   (default: the repository this script is in)
# FRESH_CLONE_DIR=DIR works in DIR (kept afterwards) instead of a temporary directory.
set -euo pipefail
repo="${1:-$(cd "$(dirname "$0")/../.." && pwd)}"
if [ -n "${FRESH_CLONE_DIR:-}" ]; then
    root="$FRESH_CLONE_DIR"
    rm -rf "$root"
    mkdir -p "$root"
else
    root="$(mktemp -d)"
    trap 'rm -rf "$root"' EXIT
fi
fail() { echo "check-fresh-clone: $*" >&2; exit 1; }
step() { echo "check-fresh-clone: $*"; }

git clone -q "$repo" "$root/clone"
cd "$root/clone"
readme=README.md

# The indented command lines of one README section.
section_commands() {
    awk -v title="$1" '
        /^## / { inside = ($0 == "## " title) ; next }
        inside && /^    +[a-z]/ { sub(/^ +/, ""); print }' "$readme"
}

install_lines="$(section_commands Installing)"
configure="$(grep '^cmake -S ' <<<"$install_lines" | head -n 1)"
build="$(grep '^cmake --build ' <<<"$install_lines" | head -n 1)"
[ -n "$configure" ] && [ -n "$build" ] || fail "README's Installing section has no configure or build command"
step "$configure"
eval "$configure -DQUILLON_BUILD_UI=OFF" >"$root/configure.log" 2>&1 || { cat "$root/configure.log"; fail "configure failed"; }
step "$build"
eval "$build" >"$root/build.log" 2>&1 || { tail -n 40 "$root/build.log"; fail "build failed"; }
build_dir="$(awk '{for (i = 1; i < NF; ++i) if ($i == "-B") print $(i + 1)}' <<<"$configure")"
cmake --install "$build_dir" --prefix "$root/prefix" >"$root/install.log" 2>&1 || { cat "$root/install.log"; fail "install failed"; }

# A new user: empty home, the installed programs first on the PATH.
export HOME="$root/home"
mkdir -p "$HOME"
unset XDG_CONFIG_HOME QUILLON_DATAPATH QUILLON_COMPONENTS
export PATH="$root/prefix/bin:$PATH"
account_lines="$(section_commands 'Using a real gateway account' | grep '^quillon-cli ')"
[ -n "$account_lines" ] || fail "README's account section has no quillon-cli command"
while IFS= read -r line; do
    step "$line"
    eval "$line" || fail "failed: $line"
done <<<"$account_lines"

data="$HOME/.local/share/quillon"
for f in SMS.dat SMS.db; do
    [ -f "$data/$f" ] || fail "quillon-cli init left no $data/$f"
done
grep -qx "DataPath=$data" "$HOME/.config/Tarvane/Qln3.conf" || fail "Qln3.conf does not name $data"
[ "$(quillon-cli settings get client_id)" = "YOURID" ] || fail "client_id not stored in the data directory"

check="$(section_commands Installing | grep '^quillon-cli ' | sed 's/ *#.*//' | head -n 1)"
step "$check"
out="$(eval "$check")" || fail "installation check failed: $out"
grep -q '^Ver ' <<<"$out" || fail "unexpected answer: $out"
step "all README commands hold"

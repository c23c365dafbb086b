#!/bin/sh
# Installs the build tree into a temporary prefix and checks that the installed quillon-cli finds
# the gateway component through the installed components.conf alone, by asking the component for
# its version (answered by the component itself, no gateway needed). Usage: check-install.sh BUILD_DIR
set -u
build=$1
root=$(mktemp -d) || exit 1
trap 'rm -rf "$root"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$root/prefix" >"$root/install.log" 2>&1 || { cat "$root/install.log"; fail "install failed"; }
bin=$root/prefix/bin
for f in "$bin/quillon-cli" "$bin/quillon-sandbox-gateway" "$bin/components.conf"; do
    [ -e "$f" ] || fail "missing $f"
done
unset QUILLON_COMPONENTS
mkdir "$root/data"
out=$("$bin/quillon-cli" --data-dir "$root/data" gateway call Version bool:true 2>&1) || fail "Version: $out"
echo "$out"
echo "$out" | grep -q "^Ver " || fail "unexpected answer"

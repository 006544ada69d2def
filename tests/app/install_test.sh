#!/usr/bin/env bash
# cmake --install into a fresh prefix gives a program that runs from there:
# the installed demo host finds its panels in <prefix>/share/cedar-tn3270,
# and the installed cedar_headless (the same data folder rule as the window)
# shows its logon panel. Also the desktop entry and the icon are in place.
set -euo pipefail
build="$1"
prefix=$(mktemp -d)
trap 'kill "${demo:-}" 2>/dev/null || true; rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/cedar_tn3270 bin/cedar_headless bin/cedar_demo_host share/cedar-tn3270/key.lst \
         share/cedar-tn3270/country.lst share/cedar-tn3270/defaults/standard.ses \
         'share/cedar-tn3270/macros/cdr$lstc.mac' share/cedar-tn3270/rexxerr.lst \
         share/applications/cedar-tn3270.desktop share/icons/hicolor/scalable/apps/cedar-tn3270.svg; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
"$prefix/bin/cedar_demo_host" --port 0 >"$prefix/demo.log" 2>&1 &
demo=$!
for _ in $(seq 50); do grep -q "listening on" "$prefix/demo.log" && break; sleep 0.1; done
target=$(sed -n 's/.*listening on \([0-9.:]*\).*/\1/p' "$prefix/demo.log")
[ -n "$target" ] || { cat "$prefix/demo.log"; exit 1; }
mkdir -p "$prefix/home"
screen=$(printf 'connect\nwait unlock 15\nscreen\nquit\n' |
  HOME="$prefix/home" "$prefix/bin/cedar_headless" --no-reconnect "$target")
echo "$screen" | grep -q "CEDAR DEMO HOST" || { echo "$screen"; exit 1; }
"$prefix/bin/cedar_tn3270" --version | grep -q "cedar_tn3270"
echo "installed and running from $prefix"

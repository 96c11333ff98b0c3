#!/usr/bin/env bash
# Installs dist/quorvane_<version>_amd64.deb on this machine with apt-get (which pulls in its
# dependencies), starts the installed programs - quorvane-flash --help (when the package has it),
# quorvane-packsim --help, Quorvane --version and the window offscreen for a few seconds - and
# removes the package again. Exits non-zero when a step fails.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/^project(Quorvane VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
deb=dist/quorvane_${version}_amd64.deb
[[ -f "$deb" ]] || { echo "check-deb.sh: no $deb (tools/package.sh makes it)" >&2; exit 1; }
SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"

$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "./$deb" >/dev/null
remove() { $SUDO env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq quorvane >/dev/null; }
trap remove EXIT

status=0
fail() { echo "FAIL: $*"; status=1; }
for file in /usr/bin/Quorvane /usr/bin/quorvane-packsim /usr/bin/pdf/help.pdf \
    /usr/share/applications/quorvane.desktop /usr/share/icons/hicolor/128x128/apps/quorvane.png; do
    [[ -f "$file" ]] || fail "$file is not installed"
done
if [[ -x /usr/bin/quorvane-flash ]]; then
    /usr/bin/quorvane-flash --help >/dev/null || fail "quorvane-flash --help"
    echo "quorvane-flash --help: ok"
fi
/usr/bin/quorvane-packsim --help >/dev/null || fail "quorvane-packsim --help"
got=$(/usr/bin/Quorvane --version) || fail "Quorvane --version"
[[ "$got" == "Quorvane $version" ]] || fail "Quorvane --version says '$got'"
echo "Quorvane --version: $got"

# The window, offscreen, from the installed files: it must still be running after 3 s.
log=$(mktemp)
env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen /usr/bin/Quorvane >"$log" 2>&1 &
pid=$!
sleep 3
if kill -0 "$pid" 2>/dev/null; then
    echo "Quorvane window (offscreen): running after 3 s"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
else
    wait "$pid" || true
    fail "the installed Quorvane ended within 3 s: $(cat "$log")"
fi
rm -f "$log"

remove
trap - EXIT
[[ ! -e /usr/bin/Quorvane ]] || fail "/usr/bin/Quorvane is still there after removal"
echo "package installed, started and removed: $([[ $status -eq 0 ]] && echo ok || echo FAILED)"
exit $status

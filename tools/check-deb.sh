#!/usr/bin/env bash
# Checks dist/quorvane_<version>_amd64.deb as Debian and a user would: lintian (no error and no
# warning; the package's own overrides carry their reasons), then installs it with apt-get (which
# pulls in its dependencies), checks where its files lie and that `man -k quorvane` lists the four
# manual pages, starts the installed programs - quorvane-flash --help, quorvane-packsim --help,
# Quorvane --version, QuorvaneStation --version and the window offscreen for a few seconds, as
# root - checks that the window kept its settings in the user's folder, not in /usr/bin (a
# config.ini an earlier version left there is copied once), purges the package and checks that the
# user's files are still there.
# Exits non-zero when a step fails. Installs lintian and man-db when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/^project(Quorvane VERSION \([0-9][0-9.]*\).*/\1/p' CMakeLists.txt)
deb=dist/quorvane_${version}_amd64.deb
[[ -f "$deb" ]] || { echo "check-deb.sh: no $deb (tools/package.sh makes it)" >&2; exit 1; }
SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
apt_get() { $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 "$@"; }

missing=()
for p in lintian man-db; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
    echo "Installing: ${missing[*]}"
    apt_get update -qq
    apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

status=0
fail() { echo "FAIL: $*"; status=1; }

# lintian: infos are shown, errors and warnings fail. (It warns when it runs as root; that says
# nothing about the package.)
if lintian --info --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2); then
    echo "lintian: no error, no warning"
else
    fail "lintian found errors or warnings in $deb"
fi

# An earlier version kept config.ini beside /usr/bin/Quorvane; one left there must be read once, as
# the starting values, and never written. Planted for the check unless the machine has one.
legacy=/usr/bin/config.ini
planted=0
if [[ ! -e $legacy ]]; then
    printf '[connectInfo]\nlanguage=1\nversion=BMS_V2.1.07_\n' | $SUDO tee "$legacy" >/dev/null
    planted=1
fi
legacy_sum=$(md5sum <"$legacy")
home=$(mktemp -d)
cleanup() {
    apt_get purge -y -qq quorvane >/dev/null 2>&1 || true
    [[ $planted -eq 1 ]] && $SUDO rm -f "$legacy"
    rm -rf "$home"
}
trap cleanup EXIT

apt_get install -y -qq --no-install-recommends "./$deb" >/dev/null

for file in /usr/bin/Quorvane /usr/bin/QuorvaneStation /usr/bin/quorvane-flash /usr/bin/quorvane-packsim \
    /usr/share/quorvane/pdf/help.pdf /usr/share/applications/quorvane.desktop \
    /usr/share/applications/quorvane-station.desktop /usr/share/man/man1/QuorvaneStation.1.gz \
    /usr/share/icons/hicolor/128x128/apps/quorvane.png /usr/share/doc/quorvane/copyright \
    /usr/share/doc/quorvane/changelog.gz /usr/share/man/man1/Quorvane.1.gz \
    /usr/share/man/man1/quorvane-flash.1.gz /usr/share/man/man1/quorvane-packsim.1.gz; do
    [[ -f "$file" ]] || fail "$file is not installed"
done
[[ ! -e /usr/bin/pdf ]] || fail "/usr/bin/pdf is there: nothing but programs belongs in /usr/bin"

# The manual pages, as `man -k` finds them (the index is brought up to date first).
$SUDO mandb -q 2>/dev/null || true
pages=$(man -k quorvane 2>/dev/null || true)
echo "man -k quorvane:"
sed 's/^/  /' <<<"$pages"
for page in "Quorvane (1)" "QuorvaneStation (1)" "quorvane-flash (1)" "quorvane-packsim (1)"; do
    grep -qF "$page" <<<"$pages" || fail "man -k quorvane does not list $page"
done

/usr/bin/quorvane-flash --help >/dev/null || fail "quorvane-flash --help"
/usr/bin/quorvane-packsim --help >/dev/null || fail "quorvane-packsim --help"
got=$(/usr/bin/Quorvane --version) || fail "Quorvane --version"
[[ "$got" == "Quorvane $version" ]] || fail "Quorvane --version says '$got'"
echo "Quorvane --version: $got"
got=$(/usr/bin/QuorvaneStation --version) || fail "QuorvaneStation --version"
[[ "$got" == "QuorvaneStation $version" ]] || fail "QuorvaneStation --version says '$got'"

# The window, offscreen, from the installed files, as root with a home of its own: it must still
# be running after 3 s, and have its settings in that home.
log=$(mktemp)
$SUDO env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    QT_QPA_PLATFORM=offscreen /usr/bin/Quorvane >"$log" 2>&1 &
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
user_ini=$home/.config/Quorvane/config.ini
if [[ -f "$user_ini" ]] && cmp -s "$user_ini" "$legacy"; then
    echo "settings: the earlier $legacy copied to the user's $user_ini"
else
    fail "the window did not take $legacy over into $user_ini"
fi
[[ "$(md5sum <"$legacy")" == "$legacy_sum" ]] || fail "the window wrote $legacy"
[[ ! -e /usr/bin/downloads.jsonl ]] || fail "there is a /usr/bin/downloads.jsonl"

apt_get purge -y -qq quorvane >/dev/null
[[ ! -e /usr/bin/Quorvane ]] || fail "/usr/bin/Quorvane is still there after removal"
[[ ! -e /usr/share/quorvane ]] || fail "/usr/share/quorvane is still there after removal"
[[ -f "$user_ini" ]] || fail "purging the package removed the user's $user_ini"
echo "package installed, started and purged: $([[ $status -eq 0 ]] && echo ok || echo FAILED)"
exit $status

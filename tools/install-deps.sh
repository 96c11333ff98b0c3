#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need, when any is missing.
# Quiet and quick when everything is there already. Flags add more (any number of them): --windows
# the cross toolchain and Wine used for the Windows builds, --qt6 Qt 6 for the Qt 6 build check,
# --format clang-format-14 for tools/check-format.sh, --packaging what tools/package.sh and
# tools/check-deb.sh take (dpkg-dev, wixl, lintian, man-db). ccache and Ninja are always installed:
# every build tree compiles through ccache when it is there (CMakeLists.txt), and a new tree is made
# for Ninja (tools/build-env.sh).
set -euo pipefail

packages=(cmake g++ make ninja-build pkg-config python3 ccache
          qtbase5-dev libqt5serialport5-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n
          xvfb xauth fonts-wqy-microhei help2man)
for flag in "$@"; do
    case "$flag" in
    --windows) packages+=(g++-mingw-w64-x86-64 wine64 wine) ;;
    --qt6) packages+=(qt6-base-dev qt6-serialport-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
                      qt6-translations-l10n) ;;
    --format) packages+=(clang-format-14) ;;
    --packaging) packages+=(dpkg-dev wixl lintian man-db) ;;
    *) echo "install-deps.sh: unknown flag '$flag' (--windows, --qt6, --format, --packaging)" >&2; exit 2 ;;
    esac
done

# One dpkg-query for all of them (the scripts call this often).
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null |
            awk '/ install ok installed$/ {print $1}' || true)
missing=()
for p in "${packages[@]}"; do
    grep -qxF "$p" <<<"$installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
$SUDO apt-get -o DPkg::Lock::Timeout=900 update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

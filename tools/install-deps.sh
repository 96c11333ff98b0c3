#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need, when any is missing.
# Quiet and quick when everything is there already. Pass --windows to add the cross toolchain and
# Wine used for the driver installer, --qt6 to add Qt 6 for the Qt 6 build check.
set -euo pipefail

packages=(cmake g++ make pkg-config python3
          qtbase5-dev libqt5serialport5-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n
          xvfb xauth fonts-wqy-microhei help2man)
case "${1:-}" in
    --windows) packages+=(g++-mingw-w64-x86-64 wine64 wine) ;;
    --qt6) packages+=(qt6-base-dev qt6-serialport-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
                     qt6-translations-l10n) ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

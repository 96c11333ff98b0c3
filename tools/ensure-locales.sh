#!/usr/bin/env bash
# Makes sure each UTF-8 locale named on the command line exists (e.g. zh_CN.UTF-8), generating the
# missing ones with localedef. A new Debian machine has only C, C.utf8 and POSIX; Wine takes the
# system language and the Unix-side file name encoding from LC_ALL/LANG, so the tests that run it
# in Chinese need real zh_* locales. Quiet and quick when every locale is there already.
set -euo pipefail

have() { # <name like zh_CN.UTF-8>: is it listed by `locale -a` (which spells it zh_CN.utf8)?
    local want=${1%%.*}.utf8
    locale -a 2>/dev/null | grep -qix -- "$want"
}

missing=()
for name in "$@"; do
    have "$name" || missing+=("$name")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
if [[ ! -d /usr/share/i18n/locales ]] || ! command -v localedef >/dev/null; then
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends locales >/dev/null
fi
for name in "${missing[@]}"; do
    echo "Generating locale $name"
    $SUDO localedef -i "${name%%.*}" -c -f UTF-8 -A /usr/share/locale/locale.alias "$name"
    have "$name" || { echo "locale $name could not be generated" >&2; exit 1; }
done

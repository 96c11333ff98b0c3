#!/usr/bin/env bash
# Builds the Wine checks' serial shim (serialshim.c, serialshim-run.c; see docs/DEVELOPING.md) with
# mingw-w64 into OUT-DIR: serialshim.dll and serialshim-run.exe. A test tool only: no shipped
# program links or carries it.
#   tests/wine/serialshim/build.sh OUT-DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(mkdir -p "${1:?OUT-DIR}" && cd "$1" && pwd)
cc=x86_64-w64-mingw32-gcc
$cc -O2 -Wall -Werror -shared -o "$out/serialshim.dll" "$here/serialshim.c" -lntdll
$cc -O2 -Wall -Werror -municode -o "$out/serialshim-run.exe" "$here/serialshim-run.c"
echo "built $out/serialshim.dll and $out/serialshim-run.exe"

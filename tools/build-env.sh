# shellcheck shell=bash
# Sourced by the build scripts (tools/run-tests.sh, tools/build-windows.sh, ...): the environment of
# every build. A new build tree is made for Ninja when it is installed (tools/install-deps.sh
# installs it; CMAKE_GENERATOR, which cmake reads for a new tree only, so a tree made for make stays
# so): it starts only what changed and keeps both cores busy, where make walks each target's
# makefiles, about 20 s of a build that otherwise finds all its objects in ccache. Then ccache's
# settings for this project. Every build tree compiles through ccache when it is installed (CMakeLists.txt sets
# CMAKE_CXX_COMPILER_LAUNCHER; tools/install-deps.sh installs it). Settings already in the
# environment win.
#   base_dir   the clone's root: paths inside it are hashed relative to it, so a clone in another
#              folder (CI's) finds what a developer's build left in the cache, and the reverse
#   hash_dir   off: neither is the build folder's own path hashed (the debug information then names
#              the folder of the build that filled the cache; no shipped program carries it)
#   sloppiness pch_defines,time_macros,include_file_mtime,include_file_ctime: what ccache needs to
#              cache a compile that uses a precompiled header (-DQUORVANE_PCH=ON,
#              cmake/QuorvanePch.cmake, where gcc also gets -fpch-preprocess; off by default under
#              ccache). The header is made in the same build just before its users, so its times say
#              nothing; its contents are still hashed. No source uses __DATE__ or __TIME__
# and for rcc:
#   QT_RCC_SOURCE_DATE_OVERRIDE  the time rcc writes for every embedded file instead of the file's
#              own (a checkout's time, different in every clone, so each clone compiled its
#              resources again). No code asks a resource for its time
_ccache_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$_ccache_root}
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
export CCACHE_SLOPPINESS=${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}
if [[ -z "${CMAKE_GENERATOR:-}" ]] && command -v ninja >/dev/null; then
    export CMAKE_GENERATOR=Ninja
fi
export QT_RCC_SOURCE_DATE_OVERRIDE=${QT_RCC_SOURCE_DATE_OVERRIDE:-1}
unset _ccache_root

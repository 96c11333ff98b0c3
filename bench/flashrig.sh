# Sourced by the flasher benchmarks (bench/flash.sh, bench/station.sh) after `cd` to the source
# tree, with the build folder as $1: builds quorvane-flash and quorvane-packsim when missing, sets
# $flash, $packsim and a scratch folder $work, and stops every process listed in $pids (and removes
# $work) on exit.
builddir=${1:-build}
if [[ ! -x "$builddir/flash/quorvane-flash" || ! -x "$builddir/tools/packsim/quorvane-packsim" ]]; then
    cmake -S . -B "$builddir" >/dev/null
    cmake --build "$builddir" -j2 --target quorvane-flash quorvane-packsim
fi
flash="$builddir/flash/quorvane-flash"
packsim="$builddir/tools/packsim/quorvane-packsim"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

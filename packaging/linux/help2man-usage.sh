#!/bin/sh
# What help2man runs in place of a program: the program's own output (QUORVANE_MAN_PROGRAM, with the
# arguments given), its usage block rewritten into the one form help2man reads whole under SYNOPSIS,
# "Usage: PROG ARGS" and then "  or:  PROG ARGS", one line for each way of calling the program.
# quorvane-flash --help prints a long form over several lines (the arguments go on, indented) and
# the next forms indented under the first; help2man would keep only the first line under SYNOPSIS
# and leave the rest in DESCRIPTION. In the block, an indented line that begins with the program's
# name begins a form, any other indented line goes on the form before it; the first line that is
# empty or not indented ends the block and passes unchanged, as does everything after it.
[ -n "$QUORVANE_MAN_PROGRAM" ] || { echo "QUORVANE_MAN_PROGRAM is not set" >&2; exit 2; }
"$QUORVANE_MAN_PROGRAM" "$@" 2>&1 | awk '
    function base(path) { sub(/.*\//, "", path); return path }
    !seen && /^Usage:/ { seen = 1; inside = 1; program = base($2); form = $0; next }
    inside && /^[ \t]+[^ \t]/ {
        sub(/^[ \t]+/, "")
        if (base($1) == program) { print form; form = "  or:  " $0 } else { form = form " " $0 }
        next
    }
    inside { print form; inside = 0 }
    { print }
    END { if (inside) print form }
'

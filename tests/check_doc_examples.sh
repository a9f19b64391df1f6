#!/bin/sh
# Checks that every example a document quotes is one the suite runs.
#
#   check_doc_examples.sh DOCUMENT SCENARIO_DIR
#
# An example is a fenced block (``` ... ```) right after a marker line
#   <!-- trace: NAME -->      lines of SCENARIO_DIR/NAME.trace
#   <!-- scenario: NAME -->   lines of SCENARIO_DIR/NAME.scn
# The block must appear in that file verbatim and consecutively; in a trace,
# consecutively among the lines that are not log lines ("T log ..."), which
# an excerpt may not quote: their text is not what the host sees, and a
# scenario run with --logs interleaves them with everything else. The
# document must hold at least one example.
#
# Exit status 0 when everything holds; 1 with one line per problem.
set -u
if [ $# -ne 2 ]; then
    echo "usage: $0 DOCUMENT SCENARIO_DIR" >&2
    exit 2
fi
doc=$1
dir=$2
if [ ! -r "$doc" ]; then
    echo "$doc: cannot be read" >&2
    exit 1
fi

exec awk -v doc="$doc" -v dir="$dir" '
function problem(line, text) {
    printf "%s:%d: %s\n", doc, line, text
    bad = 1
}

# Compares the block just read with the file it names.
function check_block(   path, n, line, f, i, k, found) {
    path = dir "/" name (kind == "trace" ? ".trace" : ".scn")
    n = 0
    while ((getline line < path) > 0)
        if (kind != "trace" || line !~ /^[0-9]+ log /)
            f[++n] = line
    close(path)
    if (n == 0) {
        problem(marker_line, "no scenario " name " (" path " is missing or empty)")
        return
    }
    if (kind == "trace" && name != "" ) {
        if ((getline line < (dir "/" name ".scn")) <= 0)
            problem(marker_line, "trace " name " has no scenario " name ".scn")
        close(dir "/" name ".scn")
    }
    if (m == 0) {
        problem(marker_line, "empty example")
        return
    }
    if (kind == "trace")
        for (k = 1; k <= m; k++)
            if (b[k] ~ /^[0-9]+ log /)
                problem(block_line + k, "a log line is quoted; quote only what crosses the boundary")
    found = 0
    for (i = 1; i + m - 1 <= n && !found; i++) {
        for (k = 1; k <= m; k++)
            if (f[i + k - 1] != b[k])
                break
        if (k > m)
            found = 1
    }
    if (!found)
        problem(block_line, "the " m " quoted lines are not consecutive lines of " path)
    examples++
}

BEGIN { state = "text"; examples = 0; bad = 0 }

{
    if (state == "block") {
        if ($0 ~ /^```/) {
            check_block()
            state = "text"
        } else {
            b[++m] = $0
        }
        next
    }
    if (state == "fence") {
        if ($0 ~ /^[ \t]*$/)
            next
        if ($0 !~ /^```/) {
            problem(marker_line, "the marker is not followed by a fenced block")
            state = "text"
        } else {
            state = "block"
            block_line = NR
            m = 0
            delete b
            next
        }
    }
    if (match($0, /<!-- (trace|scenario): [A-Za-z0-9_]+ -->/)) {
        split(substr($0, RSTART + 5, RLENGTH - 9), parts, /: /)
        kind = parts[1]
        name = parts[2]
        marker_line = NR
        state = "fence"
    } else if ($0 ~ /<!-- *(trace|scenario)/) {
        problem(NR, "a marker that cannot be read: " $0)
    }
}

END {
    if (state == "block")
        problem(block_line, "the fenced block is never closed")
    if (state == "fence")
        problem(marker_line, "the marker is not followed by a fenced block")
    if (examples == 0 && !bad)
        problem(NR, "no example is quoted")
    if (bad)
        exit 1
    printf "%s: %d examples, each found in its scenario\n", doc, examples
}
' "$doc"

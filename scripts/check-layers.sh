#!/usr/bin/env bash
# Checks that includes run one way through the program's layers. The table below is the one place
# that writes the order down; `make test` (and so CI) runs this check first.
#
# A file may include its own folder and any folder of a lower rank. Folders of the same rank are
# siblings and never include each other, so each stays usable without the others. A folder is the
# longest entry of the table that starts its path (comparison/widgets/ before comparison/).
#
# The one exception: the view model (model/MarkupViewModel*) ties the engines together, so its files
# may include the engines' folders. Its per-feature files live in the engines' folders and include
# the view model downwards, as any engine file may.
#
# Usage: scripts/check-layers.sh [source root]   (default: the checkout this script is in)
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"

# rank  folder                 layer
layers='
10 platform              platform: wrappers over the libraries and the operating system
20 model                 model: documents, settings, the view model
30 markup                engines: image markup rules, rendering and export
31 textengine            engines: text comparison
31 comparison            engines: image comparison pairing and geometry
31 compression           engines: image compression
31 video                 engines: video frame annotation
40 ui                    widget kit shared by every workspace and the shell
50 canvas                workspace widgets: image markup
51 texteditor            workspace widgets: text comparison
51 comparison/widgets    workspace widgets: image comparison
51 compression/widgets   workspace widgets: image compression
51 video/widgets         workspace widgets: video frame annotation (built on the image markup canvas)
60 shell                 shell: window, header, workspace hookups
70 app                   app: the program entry
'

cd "${root}"
# Every quoted include with a folder, as "file<TAB>line<TAB>target", then one pass over them all.
{ find src app -name '*.h' -o -name '*.cpp' | sort \
    | xargs grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+/[^"]+"' /dev/null || true; } \
    | sed -E 's/^([^:]+):([0-9]+):[^"]*"([^"]+)".*/\1\t\2\t\3/' \
    | awk -F'\t' -v table="${layers}" '
        BEGIN {
            count = split(table, rows, "\n")
            for (i = 1; i <= count; ++i) {
                if (split(rows[i], field, " ") < 2)
                    continue
                rank[field[2]] = field[1]
            }
        }
        # The longest table folder that starts the path, or "".
        function owner(path,    folder, best) {
            best = ""
            for (folder in rank)
                if (index(path, folder "/") == 1 && length(folder) > length(best))
                    best = folder
            return best
        }
        {
            file = $1; sub(/^src\//, "", file)
            from = owner(file)
            if (from == "") {
                if (!(($1) in unknown))
                    printf "%s: folder missing from the layer table in scripts/check-layers.sh\n", $1
                unknown[$1] = 1
                ++violations
                next
            }
            to = owner($3)
            if (to == "" || to == from || rank[to] + 0 < rank[from] + 0)
                next
            # The view model ties the engines together: its own files may include them.
            if (from == "model" && file ~ /^model\/MarkupViewModel[^\/]*$/ && rank[to] + 0 < rank["ui"] + 0)
                next
            printf "%s:%s: %s (rank %s) includes %s from %s (rank %s)\n", $1, $2, from, rank[from], $3, to, rank[to]
            ++violations
        }
        END {
            if (violations > 0) {
                printf "check-layers: %d include(s) run against the layer order (see scripts/check-layers.sh)\n", violations
                exit 1
            }
            print "check-layers: every include runs down the layer order"
        }'

#!/usr/bin/env bash
# Checks that includes run one way through the program's layers. The table below is the one place
# that writes the order down; `make test` (and so CI) runs this check first, and
# scripts/check-layers-selftest.sh proves that it catches what it must.
#
# A file may include its own folder and any folder of a lower rank. Folders of the same rank are
# siblings and never include each other, so each stays usable without the others. A folder is the
# longest entry of the table that starts its path (comparison/widgets/ before comparison/).
#
# Every include is judged by the file it opens, found as the compiler finds it: a quoted name
# against the including file's folder first, then src/ (the only include folder of the program);
# an angled name against src/ only. `..` is followed, so neither "../shell/X.h", "model/../shell/X.h"
# nor <shell/X.h> hides where an include lands, and "widgets/X.h" from comparison/ is the widget
# folder above it. Names found in no file of the checkout are the libraries' and the system's.
# Every file with a C or C++ extension is read, and so is any other file that one of them includes.
#
# The one exception: the view model ties the engines together, so the files named in
# view_model_files may include the engines' folders. Its per-feature files live in the engines'
# folders and include the view model downwards, as any engine file may.
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

# The view model's files, by name: a new file joins the exception only by being written here.
view_model_files='
model/MarkupViewModel.h
model/MarkupViewModel.cpp
model/MarkupViewModelChange.h
model/MarkupViewModelTypes.h
model/MarkupViewModelTypes.cpp
model/MarkupViewModel_Preferences.cpp
model/MarkupViewModel_Project.cpp
model/MarkupViewModel_State.cpp
'

cd "${root}"
# One stream for one awk pass: every file of src/ and app/ ("F<TAB>path"), every symbolic link
# ("L<TAB>path"), then every include directive ("I<TAB>file<TAB>line<TAB>text"), `%:` (the digraph
# of `#`) and #include_next / #import included.
{
    find src app -type f | sort | sed 's/^/F\t/'
    find src app -type l | sort | sed 's/^/L\t/'
    { grep -rnIE '^[[:space:]]*(#|%:)[[:space:]]*(include|include_next|import)([^[:alnum:]_]|$)' src app || true; } \
        | sed -E 's/^([^:]+):([0-9]+):/I\t\1\t\2\t/'
} | awk -F'\t' -v table="${layers}" -v exempt="${view_model_files}" -v root="${root}" '
    BEGIN {
        count = split(table, rows, "\n")
        for (i = 1; i <= count; ++i)
            if (split(rows[i], field, " ") >= 2)
                rank[field[2]] = field[1]
        count = split(exempt, rows, "\n")
        for (i = 1; i <= count; ++i)
            if (rows[i] != "")
                viewModel[rows[i]] = 1
    }
    # The folder holding a path.
    function folderOf(path) {
        return sub(/\/[^\/]*$/, "", path) ? path : "."
    }
    # The path with "." and empty parts dropped and ".." applied; ".." parts that climb above the
    # checkout stay at its front.
    function normalised(path,    parts, count, kept, n, i, out) {
        count = split(path, parts, "/")
        n = 0
        for (i = 1; i <= count; ++i) {
            if (parts[i] == "" || parts[i] == ".")
                continue
            if (parts[i] == ".." && n > 0 && kept[n] != "..")
                --n
            else
                kept[++n] = parts[i]
        }
        out = ""
        for (i = 1; i <= n; ++i)
            out = out (i > 1 ? "/" : "") kept[i]
        return out
    }
    function insideLayers(path) {
        return index(path, "src/") == 1 || index(path, "app/") == 1
    }
    # Whether the checkout-relative path names a file outside src/ and app/ (only asked for
    # includes that climb out of them, so rarely).
    function existsOutside(path,    quoted) {
        if (path in outsideSeen)
            return outsideSeen[path]
        quoted = path
        gsub(/\047/, "\047\\\047\047", quoted)
        return outsideSeen[path] = (system("test -f \047" (index(path, "/") == 1 ? "" : root "/") quoted "\047") == 0)
    }
    # The file the compiler opens for the include, relative to the checkout; "" for a library or
    # system header.
    function resolved(from, kind, name,    candidates, count, i, path) {
        if (index(name, "/") == 1) {
            if (index(name, root "/") == 1)
                name = substr(name, length(root) + 2)
            else
                return existsOutside(name) ? name : ""
            candidates[++count] = name
        } else {
            if (kind == "\"")
                candidates[++count] = folderOf(from) "/" name
            candidates[++count] = "src/" name
        }
        for (i = 1; i <= count; ++i) {
            path = normalised(candidates[i])
            if (insideLayers(path) ? (path in files) : existsOutside(path))
                return path
        }
        return ""
    }
    # The table folder holding a file of src/ or app/: the longest entry that starts its path.
    function owner(path,    folder, best) {
        sub(/^src\//, "", path)
        best = ""
        for (folder in rank)
            if (index(path, folder "/") == 1 && length(folder) > length(best))
                best = folder
        return best
    }
    function sourceName(path) {
        return path ~ /\.(h|hh|hpp|hxx|h\+\+|H|inl|ipp|ixx|tcc|tpp|txx|inc|def|c|cc|cpp|cxx|c\+\+|C|cppm|mm)$/
    }
    function report(text) {
        print text
        ++violations
    }
    $1 == "F" { files[$2] = 1; next }
    $1 == "L" { report($2 ": symbolic link; includes through it would hide where they land"); next }
    $1 == "I" {
        ++includes
        from[includes] = $2; line[includes] = $3
        text = $0
        sub(/^I\t[^\t]*\t[^\t]*\t/, "", text)
        sub(/^[[:space:]]*(#|%:)[[:space:]]*(include_next|include|import)[[:space:]]*/, "", text)
        kind = substr(text, 1, 1)
        close_ = kind == "\"" ? "\"" : ">"
        if ((kind != "\"" && kind != "<") || index(substr(text, 2), close_) == 0) {
            written[includes] = text
            target[includes] = "?"
            next
        }
        written[includes] = substr(text, 1, index(substr(text, 2), close_) + 1)
        target[includes] = resolved($2, kind, substr(text, 2, index(substr(text, 2), close_) - 1))
    }
    END {
        # The files the compiler reads: every source by its name, then whatever they include.
        for (file in files)
            if (sourceName(file))
                compiled[file] = 1
        do {
            grown = 0
            for (i = 1; i <= includes; ++i)
                if ((from[i] in compiled) && target[i] != "" && target[i] != "?" && !(target[i] in compiled)) {
                    compiled[target[i]] = 1
                    ++grown
                }
        } while (grown > 0)

        for (file in compiled)
            if (insideLayers(file) && owner(file) == "")
                report(file ": folder missing from the layer table in scripts/check-layers.sh")
        for (file in viewModel)
            if (!(("src/" file) in files))
                report("scripts/check-layers.sh: the view model exception names src/" file ", which does not exist")

        for (i = 1; i <= includes; ++i) {
            file = from[i]
            if (!(file in compiled) || target[i] == "")
                continue
            where = file ":" line[i] ": "
            if (target[i] == "?") {
                report(where "include of a computed name (" written[i] "); write the file name out")
                continue
            }
            if (!insideLayers(target[i])) {
                report(where written[i] " opens " target[i] ", outside src/ and app/")
                continue
            }
            mine = owner(file); theirs = owner(target[i])
            if (mine == "" || theirs == "" || theirs == mine || rank[theirs] + 0 < rank[mine] + 0)
                continue
            # The view model ties the engines together: its own files may include them.
            path = file; sub(/^src\//, "", path)
            if ((path in viewModel) && rank[theirs] + 0 < rank["ui"] + 0)
                continue
            report(where mine " (rank " rank[mine] ") includes " written[i] ", which opens " target[i] \
                " in " theirs " (rank " rank[theirs] ")")
        }
        if (violations > 0) {
            printf "check-layers: %d finding(s) against the layer order (see scripts/check-layers.sh)\n", violations
            exit 1
        }
        print "check-layers: every include runs down the layer order"
    }'

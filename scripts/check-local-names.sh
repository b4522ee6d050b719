#!/usr/bin/env bash
# Checks that no two source files of the core library define the same file-local name.
#
# The sanitizer build compiles the library in unity batches: several .cpp files become one unit,
# and every anonymous namespace of a unit is one and the same namespace. Two files that each keep a
# helper `Extent` or `hex` to themselves then fail with a redefinition, or worse compile as
# overloads, so that a call may reach the other file's function. Which files share a batch depends
# only on how the names sort, so a clash can lie dormant until an unrelated file is added. This
# check finds every such pair whatever the batches, before anything is compiled.
#
# File-local means: declared at namespace level of a .cpp inside an anonymous namespace, declared
# `static`, `inline` or `constexpr`, a const variable, or a type or alias defined outside any class.
# Two such names clash when they are spelled alike in the same named namespace, whatever their
# kind or signature. Name a file's helpers after the file (or the thing it holds) to keep them apart.
#
# The reading is a light one: comments, strings and preprocessor lines are skipped, and
# declarations are told apart by their shape, not compiled. It errs towards reporting.
#
# Usage: scripts/check-local-names.sh [source root]   (default: the checkout this script is in)
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "${root}"

mapfile -t sources < <(find src -type f \( -name '*.cpp' -o -name '*.cc' -o -name '*.cxx' \) | sort)
if [ ${#sources[@]} -eq 0 ]; then
    echo "check-local-names: no sources under ${root}/src" >&2
    exit 2
fi

# Prints "qualified name<TAB>file:line" for every file-local name; one awk pass over all files.
list_local_names() {
awk '
    BEGIN {
        split("alignas alignof and asm auto bool break case catch char char8_t char16_t char32_t class " \
              "co_await co_return co_yield concept const consteval constexpr constinit const_cast continue " \
              "decltype default delete do double dynamic_cast else enum explicit export extern false float " \
              "for friend goto if inline int long mutable namespace new noexcept not nullptr operator or " \
              "private protected public register reinterpret_cast requires return short signed sizeof " \
              "static static_assert static_cast struct switch template this thread_local throw true try " \
              "typedef typeid typename union unsigned using virtual void volatile wchar_t while final " \
              "override __attribute__", words, " ")
        for (w in words)
            keyword[words[w]] = 1
    }

    # ---- the scope machine, fed one token at a time ----
    function resetFile() {
        depth = 0; kind[0] = "file"; path[0] = ""
        resetHead()
        inBlockComment = 0; inRaw = 0; inDirective = 0
    }
    function resetHead() {
        headCount = 0; headDone = 0; headParens = 0; afterBody = 0; macroDepth = 0; headFunction = 0
    }
    function atNamespaceLevel() {
        return kind[depth] != "other"
    }
    function inAnonymous(    d) {
        for (d = 1; d <= depth; ++d)
            if (kind[d] == "anon")
                return 1
        return 0
    }
    # A scope opened by "{"; a body is the one that ends a declaration head.
    function push(k, p, body) {
        ++depth; kind[depth] = k; path[depth] = p; bodyFromHead[depth] = body
    }
    function upper(t) {
        return t ~ /^[A-Z][A-Z0-9_]*$/ && t ~ /[A-Z][A-Z]/
    }
    function identifier(t) {
        return t ~ /^[A-Za-z_][A-Za-z0-9_]*$/ && !(t in keyword)
    }
    function take(t, line) {
        if (!atNamespaceLevel()) {
            if (t == "{")
                push("other", path[depth], 0)
            else if (t == "}") {
                --depth
                if (atNamespaceLevel() && bodyFromHead[depth + 1])
                    afterBody = 1
            }
            return
        }
        if (afterBody) {
            afterBody = 0
            # A function body ends its declaration; a member initialiser list goes on after ",".
            if (headFunction && t != "," && t != "{")
                resetHead()
        }
        # A macro used as a statement (no semicolon): skip its arguments.
        if (macroDepth > 0) {
            if (t == "(") ++macroDepth
            else if (t == ")") --macroDepth
            else if (macroDepth == 1 && t == ",") ++macroCommas
            else if (macroDepth == 1 && macroCommas == 1 && macroName ~ /^Q_GLOBAL_STATIC/ && identifier(t))
                found(t, line)
            if (macroDepth == 0)
                resetHead()
            return
        }
        if (headCount == 1 && t == "(" && upper(head[1])) {
            macroName = head[1]; macroDepth = 1; macroCommas = 0
            return
        }
        if (headParens > 0) {
            if (t == "(") ++headParens
            else if (t == ")") --headParens
            else if (t == "{") { push("other", path[depth], 0); return }
            head[++headCount] = t; headLine[headCount] = line
            return
        }
        if (t == "{") {
            if (isNamespaceHead()) {
                push(namespaceName == "" ? "anon" : "ns", namespaceName == "" ? path[depth] : path[depth] namespaceName "::", 0)
                resetHead()
                return
            }
            if (headCount == 2 && head[1] == "extern" && head[2] == "\"\"") {
                push("link", path[depth], 0); resetHead(); return
            }
            if (!headDone) {
                headFunction = headIsFunction()
                declared("{")
            }
            headDone = 1
            push("other", path[depth], 1)
            return
        }
        if (t == "}") {
            if (depth > 0) --depth
            resetHead()
            return
        }
        if (t == ";") {
            if (!headDone && headCount > 0)
                declared(";")
            resetHead()
            return
        }
        if (t == "(") ++headParens
        head[++headCount] = t; headLine[headCount] = line
    }
    # Whether the head before a body declares a function: its first "(" outside template arguments
    # comes before any "=".
    function headIsFunction(    angle, j, t) {
        angle = 0
        for (j = 1; j <= headCount; ++j) {
            t = head[j]
            if (t == "operator") return 1
            if (t == "<") ++angle
            else if (t == ">") { if (angle > 0) --angle }
            else if (angle == 0 && t == "=") return 0
            else if (angle == 0 && t == "(") {
                if (head[j - 1] != "decltype" && head[j - 1] != "noexcept" && head[j - 1] != "alignas" && head[j - 1] != "__attribute__")
                    return 1
                j = skipBalanced(j, "(", ")") - 1
            }
        }
        return 0
    }
    function isNamespaceHead(    i) {
        i = 1
        if (head[i] == "inline") ++i
        if (head[i] != "namespace") return 0
        namespaceName = ""
        for (++i; i <= headCount; ++i)
            namespaceName = namespaceName head[i]
        return 1
    }

    # ---- naming the declaration in head[1..headCount], ended by `stop` ----
    function found(name, line) {
        if (!((FILENAME SUBSEP path[depth] name) in seen)) {
            seen[FILENAME SUBSEP path[depth] name] = 1
            printf "%s%s\t%s:%s\n", path[depth], name, FILENAME, line
        }
    }
    function skipBalanced(i, open, shut,    level) {
        level = 0
        for (; i <= headCount; ++i) {
            if (head[i] == open) ++level
            else if (head[i] == shut && --level == 0) return i + 1
        }
        return i
    }
    function declared(stop,    i, anon, isStatic, isInline, isConstexpr, isConst, isExtern, angle, j, name, t, function_, pos) {
        anon = inAnonymous()
        i = 1
        # Leading template heads, attributes and keywords such as static or constexpr.
        while (i <= headCount) {
            if (head[i] == "template" && head[i + 1] == "<") i = skipBalanced(i + 1, "<", ">")
            else if (head[i] == "[" && head[i + 1] == "[") i = skipBalanced(i, "[", "]")
            else if (head[i] == "alignas" || head[i] == "__attribute__") i = skipBalanced(i + 1, "(", ")")
            else if (head[i] == "static") { isStatic = 1; ++i }
            else if (head[i] == "extern") { isExtern = 1; ++i }
            else if (head[i] == "inline") { isInline = 1; ++i }
            else if (head[i] == "constexpr" || head[i] == "constinit" || head[i] == "consteval") { isConstexpr = 1; ++i }
            else if (head[i] == "const") { isConst = 1; ++i }
            else if (head[i] == "thread_local" || head[i] == "volatile" || head[i] == "mutable") ++i
            else break
        }
        if (i > headCount || isExtern || head[i] == "friend" || head[i] == "static_assert")
            return
        pos = headLine[i]
        if (head[i] == "using") {
            if (head[i + 2] == "=" && identifier(head[i + 1]))
                found(head[i + 1], pos)
            return
        }
        if (head[i] == "namespace") {
            if (identifier(head[i + 1])) found(head[i + 1], pos)
            return
        }
        if (head[i] == "typedef") {
            for (j = headCount; j > i; --j)
                if (identifier(head[j])) { found(head[j], pos); return }
            return
        }
        if (head[i] == "struct" || head[i] == "class" || head[i] == "union" || head[i] == "enum") {
            j = i + 1
            if (head[i] == "enum" && (head[j] == "class" || head[j] == "struct")) ++j
            # A definition; a forward declaration names nothing new.
            if (identifier(head[j]) && (j == headCount || head[j + 1] == ":" || head[j + 1] == "final")) {
                if (stop == "{" || anon)
                    found(head[j], pos)
                return
            }
            i = j
        }
        # A function or a variable: the name stands before the first "(", "=", "{", "[" or ","
        # outside template arguments.
        angle = 0; name = ""; function_ = 0
        for (j = i; j <= headCount; ++j) {
            t = head[j]
            if (t == "<") { ++angle; continue }
            if (t == ">") { if (angle > 0) --angle; continue }
            if (angle > 0) {
                if (t == "(") j = skipBalanced(j, "(", ")") - 1
                continue
            }
            if (t == "(" && (head[j - 1] == "decltype" || head[j - 1] == "noexcept")) {
                j = skipBalanced(j, "(", ")") - 1
                continue
            }
            if (t == "(" || t == "=" || t == "{" || t == "[" || t == "," || t == ":") {
                name = head[j - 1]; function_ = (t == "(")
                if (j >= 3 && (head[j - 2] == "::" || head[j - 2] == "~" || head[j - 2] == "operator")) return
                break
            }
        }
        if (j > headCount) {
            name = head[headCount]
            if (headCount >= 2 && head[headCount - 1] == "::") return
        }
        if (!identifier(name) || name == head[i] && j > headCount)
            return
        # Functions and variables of namespace level are file-local in an anonymous namespace, or
        # when static; inline and constexpr ones clash in a unity batch just the same, and so do
        # const variables.
        if (anon || isStatic || isInline || isConstexpr || (isConst && !function_))
            found(name, pos)
    }

    # ---- reading the text into tokens ----
    FNR == 1 { resetFile() }
    {
        line = $0
        if (inDirective) {
            inDirective = line ~ /\\$/
            next
        }
        if (!inBlockComment && !inRaw && line ~ /^[[:space:]]*(#|%:)/) {
            inDirective = line ~ /\\$/
            next
        }
        while (line != "") {
            if (inBlockComment) {
                if (!(p = index(line, "*/"))) { line = ""; break }
                line = substr(line, p + 2); inBlockComment = 0
                continue
            }
            if (inRaw) {
                if (!(p = index(line, rawEnd))) { line = ""; break }
                line = substr(line, p + length(rawEnd)); inRaw = 0
                take("\"\"", FNR)
                continue
            }
            sub(/^[[:space:]]+/, "", line)
            if (line == "") break
            if (substr(line, 1, 2) == "//") break
            if (substr(line, 1, 2) == "/*") { line = substr(line, 3); inBlockComment = 1; continue }
            if (match(line, /^(u8|u|U|L)?R"[^(]*\(/)) {
                rawEnd = ")" substr(line, index(line, "\"") + 1, RLENGTH - index(line, "\"") - 1) "\""
                line = substr(line, RLENGTH + 1); inRaw = 1
                continue
            }
            if (match(line, /^(u8|u|U|L)?"([^"\\]|\\.)*"/)) { take("\"\"", FNR); line = substr(line, RLENGTH + 1); continue }
            if (match(line, /^(u8|u|U|L)?\047([^\047\\]|\\.)*\047/)) { take("\047\047", FNR); line = substr(line, RLENGTH + 1); continue }
            if (match(line, /^[A-Za-z_][A-Za-z0-9_]*/)) { take(substr(line, 1, RLENGTH), FNR); line = substr(line, RLENGTH + 1); continue }
            if (match(line, /^\.?[0-9]([0-9A-Za-z_.\047]|[eEpP][-+])*/)) { take("0", FNR); line = substr(line, RLENGTH + 1); continue }
            if (substr(line, 1, 2) == "::") { take("::", FNR); line = substr(line, 3); continue }
            take(substr(line, 1, 1), FNR); line = substr(line, 2)
        }
    }
' "$@"
}

clashes="$(list_local_names "${sources[@]}" | sort -t$'\t' -k1,1 -k2,2 | awk -F'\t' '
    $1 != name { if (count > 1) print where; name = $1; count = 0; where = "" }
    { ++count; where = where (count > 1 ? "\n" : "") $2 ": file-local " $1 }
    END { if (count > 1) print where }')"
if [ -n "${clashes}" ]; then
    echo "${clashes}"
    echo "check-local-names: file-local names defined in more than one source; a unity batch would join them" \
        "(name each after its file; see scripts/check-local-names.sh)"
    exit 1
fi
echo "check-local-names: every file-local name is defined in one source only"

#!/usr/bin/env bash
# Proves that scripts/check-layers.sh catches what it must: in a copy of src/ and app/, it plants
# one upward include at a time, each written in a form the compiler accepts, and expects the check
# to fail naming the planted file; on the untouched copy it expects the check to pass.
#
# Usage: scripts/check-layers-selftest.sh   (`make test` runs it beside the check)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
checkout="$(cd "${here}/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT

failures=0
planted=0

# One copy of the tree in ${work}/tree; fresh_tree undoes what was planted since the last call.
mkdir -p "${work}/tree/scripts"
cp -R "${checkout}/src" "${checkout}/app" "${work}/tree/"
cp "${here}/check-layers.sh" "${work}/tree/scripts/"
touched=()
fresh_tree() {
    for path in "${touched[@]}"; do
        rm -rf "${work}/tree/src/${path}"
        if [ -e "${checkout}/src/${path}" ]; then
            cp "${checkout}/src/${path}" "${work}/tree/src/${path}"
        fi
    done
    touched=()
}

need() {
    for file in "$@"; do
        if [ ! -e "${work}/tree/src/${file}" ]; then
            echo "check-layers-selftest: src/${file} is gone; update the planted forms" >&2
            exit 2
        fi
    done
}

# expect_caught <description> <file the finding must name>: runs the check on the planted tree.
expect_caught() {
    planted=$((planted + 1))
    if output="$(bash "${work}/tree/scripts/check-layers.sh" "${work}/tree" 2>&1)"; then
        echo "check-layers-selftest: MISSED ${1}" >&2
        failures=$((failures + 1))
    elif ! grep -qF "${2}" <<<"${output}"; then
        echo "check-layers-selftest: ${1}: failed without naming ${2}:" >&2
        echo "${output}" >&2
        failures=$((failures + 1))
    fi
}

# plant <file under src/> <line>: appends an include line to a file of the fresh tree.
plant() {
    touched+=("${1}")
    printf '%s\n' "${2}" >>"${work}/tree/src/${1}"
}

fresh_tree
need shell/ShellRules.h shell/ShellHooks.h comparison/widgets/ComparisonPreview.h \
    model/HexColor.cpp model/JsonSupport.cpp platform/AlertSetup.cpp canvas/CropToolbar.cpp \
    comparison/ComparisonGeometry.cpp compression/ImageCompressionRules.h
if ! output="$(bash "${work}/tree/scripts/check-layers.sh" "${work}/tree" 2>&1)"; then
    echo "check-layers-selftest: the check fails on the untouched tree:" >&2
    echo "${output}" >&2
    exit 1
fi

fresh_tree; plant model/HexColor.cpp '#include <shell/ShellRules.h>'
expect_caught "an angled include" src/model/HexColor.cpp

fresh_tree; plant model/JsonSupport.cpp '#include "../shell/ShellHooks.h"'
expect_caught "an include relative to the including folder" src/model/JsonSupport.cpp

fresh_tree; plant platform/AlertSetup.cpp '#include "platform/../shell/ShellRules.h"'
expect_caught "an include through its own folder and .." src/platform/AlertSetup.cpp

fresh_tree; plant canvas/CropToolbar.cpp '#include "canvas/../shell/ShellRules.h"'
expect_caught "an include through a lower folder and .." src/canvas/CropToolbar.cpp

fresh_tree; plant comparison/ComparisonGeometry.cpp '#include "widgets/ComparisonPreview.h"'
expect_caught "an engine reaching its widgets by a relative name" src/comparison/ComparisonGeometry.cpp

fresh_tree; plant model/Sneaky.hpp '#include "shell/ShellRules.h"'
expect_caught "a header with another extension" src/model/Sneaky.hpp

fresh_tree; plant model/MarkupViewModelAnything.h '#include "compression/ImageCompressionRules.h"'
expect_caught "a new file whose name starts like the view model's" src/model/MarkupViewModelAnything.h

fresh_tree; plant model/HexColor.cpp '  %:  include "shell/ShellRules.h"'
expect_caught "the digraph of #" src/model/HexColor.cpp

fresh_tree; plant model/HexColor.cpp "#include \"${work}/tree/src/shell/ShellRules.h\""
expect_caught "an absolute path" src/model/HexColor.cpp

fresh_tree
plant model/HexColor.cpp '#define KIVORA_PLANTED "shell/ShellRules.h"'
plant model/HexColor.cpp '#include KIVORA_PLANTED'
expect_caught "an include of a computed name" src/model/HexColor.cpp

fresh_tree
plant model/HexColor.cpp '#include "HexColor.parts"'
plant model/HexColor.parts '#include "shell/ShellRules.h"'
expect_caught "a file of any name that a source includes" src/model/HexColor.parts

fresh_tree; touched+=(model/linked); ln -s ../shell "${work}/tree/src/model/linked"
expect_caught "a symbolic link into a higher folder" src/model/linked

fresh_tree; touched+=(extra); mkdir "${work}/tree/src/extra"; plant extra/Extra.h '#include "model/HexColor.h"'
expect_caught "a folder missing from the table" src/extra/Extra.h

if [ "${failures}" -gt 0 ]; then
    echo "check-layers-selftest: the check missed ${failures} of ${planted} planted includes" >&2
    exit 1
fi
echo "check-layers-selftest: the check caught all ${planted} planted includes and passes the tree"

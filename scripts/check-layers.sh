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

# Prints the rank and folder that owns a path below src/ (or "app/..."), or nothing.
owner_of() {
    local path="$1" best_rank="" best_folder="" rank folder
    while read -r rank folder _; do
        [[ -z "${rank}" ]] && continue
        if [[ "${path}" == "${folder}/"* && ${#folder} -gt ${#best_folder} ]]; then
            best_rank="${rank}"
            best_folder="${folder}"
        fi
    done <<< "${layers}"
    [[ -n "${best_folder}" ]] && echo "${best_rank} ${best_folder}"
}

declare -A owner_cache
owner_cached() {
    local key="$1"
    if [[ -z "${owner_cache[${key}]+set}" ]]; then
        owner_cache[${key}]="$(owner_of "${key}")"
    fi
    echo "${owner_cache[${key}]}"
}

is_view_model_file() {
    [[ "$(basename "$1")" == MarkupViewModel* && "$1" == model/* ]]
}

violations=0
cd "${root}"
while IFS= read -r file; do
    rel="${file#src/}"
    from="$(owner_cached "$(dirname "${rel}")/")"
    if [[ -z "${from}" ]]; then
        echo "${file}: folder missing from the layer table in scripts/check-layers.sh"
        violations=$((violations + 1))
        continue
    fi
    read -r from_rank from_folder <<< "${from}"
    while IFS=: read -r line target; do
        to="$(owner_cached "$(dirname "${target}")/")"
        [[ -z "${to}" ]] && continue
        read -r to_rank to_folder <<< "${to}"
        [[ "${to_folder}" == "${from_folder}" ]] && continue
        (( to_rank < from_rank )) && continue
        if is_view_model_file "${rel}" && (( to_rank < 40 )); then
            continue
        fi
        echo "${file}:${line}: ${from_folder} (rank ${from_rank}) includes ${target} from ${to_folder} (rank ${to_rank})"
        violations=$((violations + 1))
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"]+/[^"]+"' "${file}" \
                 | sed -E 's/^([0-9]+):[^"]*"([^"]+)".*/\1:\2/')
done < <(find src app -name '*.h' -o -name '*.cpp' | sort)

if (( violations > 0 )); then
    echo "check-layers: ${violations} include(s) run against the layer order (see scripts/check-layers.sh)"
    exit 1
fi
echo "check-layers: every include runs down the layer order"

#!/usr/bin/env bash
# Proves that scripts/check-local-names.sh catches what it must: in a copy of src/, it adds two
# sources that each keep a helper of the same name to themselves, one form at a time, and expects
# the check to fail naming both; names kept apart by their namespaces must pass, and so must the
# untouched copy.
#
# Usage: scripts/check-local-names-selftest.sh   (`make test` runs it beside the check)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
checkout="$(cd "${here}/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "${work}"' EXIT

mkdir -p "${work}/tree/scripts"
cp -R "${checkout}/src" "${work}/tree/"
cp "${here}/check-local-names.sh" "${work}/tree/scripts/"
one="${work}/tree/src/model/PlantedOne.cpp"
two="${work}/tree/src/markup/PlantedTwo.cpp"

failures=0
cases=0
run_check() {
    bash "${work}/tree/scripts/check-local-names.sh" "${work}/tree" 2>&1
}

# expect_clash <description> <name>: PlantedOne.cpp and PlantedTwo.cpp are written; both must be
# reported with the name.
expect_clash() {
    cases=$((cases + 1))
    if output="$(run_check)"; then
        echo "check-local-names-selftest: MISSED ${1}" >&2
        failures=$((failures + 1))
    elif ! grep -qF "src/model/PlantedOne.cpp" <<<"${output}" || ! grep -qF "src/markup/PlantedTwo.cpp" <<<"${output}" \
        || ! grep -qF "file-local ${2}" <<<"${output}"; then
        echo "check-local-names-selftest: ${1}: failed without naming ${2} in both files:" >&2
        echo "${output}" >&2
        failures=$((failures + 1))
    fi
    rm -f "${one}" "${two}"
}

expect_pass() {
    cases=$((cases + 1))
    if ! output="$(run_check)"; then
        echo "check-local-names-selftest: ${1}: reported a clash that is none:" >&2
        echo "${output}" >&2
        failures=$((failures + 1))
    fi
    rm -f "${one}" "${two}"
}

expect_pass "the untouched tree"

# The form that broke the sanitizer build: one struct in each file's anonymous namespace.
for file in "${one}" "${two}"; do
    cat >"${file}" <<'EOF'
#include <cmath>

namespace {

struct Extent {
    double width;
    double height;
};

} // namespace
EOF
done
expect_clash "a struct in two anonymous namespaces" "Extent"

# Overloads inside one named namespace: they compile together, and a call may reach either.
cat >"${one}" <<'EOF'
namespace Renderer {
namespace {
QColor hex(const QString &text) { return QColor(text); }
}
}
EOF
cat >"${two}" <<'EOF'
namespace Renderer {

namespace {

QColor hex(const char *text)
{
    return QColor(QLatin1String(text));
}

} // namespace

QColor Renderer::accent() { return hex("#2563EB"); }

} // namespace Renderer
EOF
expect_clash "overloads in one named namespace" "Renderer::hex"

# A static function against an anonymous one, after text that looks like code but is not: the
# reading must not lose its place in comments, strings, raw strings or macros.
cat >"${one}" <<'EOF'
// A stray brace in a comment: {
/* and a namespace in a block comment: namespace {
   } */
static const char *text = "namespace { }";
static const char quote = '"';
static const char *raw = R"x(an ) and a "}" inside)x";
#define PLANTED_BLOCK(name) \
    namespace {            \
    }
KIVORA_THEME_COLOR(accent, "#2563EB")
Widget::Widget(QWidget *parent) : QWidget(parent), m_rows{1, 2}, m_name(QStringLiteral("}"))
{
    auto local = [](int value) { return value + 1; };
    (void)local;
}
template<typename T>
std::vector<T> Widget::sorted(std::vector<T> values) const { return values; }
static int rowCount(const QList<int> &rows) { return int(rows.size()); }
EOF
cat >"${two}" <<'EOF'
namespace {
int rowCount(const QStringList &rows)
{
    return int(rows.size());
}
}
EOF
expect_clash "a static function against an anonymous one" "rowCount"

# Namespace-level constants (internal by default, even outside an anonymous namespace).
echo 'constexpr double cornerRadius = 6;' >"${one}"
printf 'namespace {\nconst QString unused;\n}\nconst double cornerRadius = 8;\n' >"${two}"
expect_clash "constants at namespace level" "cornerRadius"

# Templates and lambdas kept in a variable.
printf 'namespace {\ntemplate<typename T, int N = 2>\nT clampTo(T value) { return value; }\n}\n' >"${one}"
printf 'namespace {\nconst auto clampTo = [](double value) { return std::max(value, 0.0); };\n}\n' >"${two}"
expect_clash "a template against a lambda" "clampTo"

# An alias against an enum.
printf 'namespace {\nusing Pixels = std::vector<quint32>;\n}\n' >"${one}"
printf 'namespace {\nenum class Pixels : int { Dense, Sparse };\n}\n' >"${two}"
expect_clash "an alias against an enum" "Pixels"

# The same name in two different named namespaces, and out-of-line members of one class, are apart.
printf 'namespace PlantedPng {\nnamespace {\nQImage toRgb(const QImage &image) { return image; }\n}\n}\n' >"${one}"
printf 'namespace PlantedJpeg {\nnamespace {\nQImage toRgb(const QImage &image) { return image; }\n}\n}\nint Reader::toRgb() const { return 0; }\n' >"${two}"
expect_pass "the same name in two named namespaces"

if [ "${failures}" -gt 0 ]; then
    echo "check-local-names-selftest: ${failures} of ${cases} cases went wrong" >&2
    exit 1
fi
echo "check-local-names-selftest: the check caught every planted clash, passed names kept apart and the tree"

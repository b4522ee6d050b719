#pragma once

#include <QString>
#include <QUuid>

#include <optional>

// UUIDs travel as text in project files: 36 characters, 8-4-4-4-12 hexadecimal digits, written in
// upper case. Reading accepts either case, but only that exact shape (no braces, no URN prefix).
namespace UuidText {

QString toString(const QUuid &id);
std::optional<QUuid> parse(const QString &text);

} // namespace UuidText

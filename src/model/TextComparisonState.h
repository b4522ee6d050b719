#pragma once

#include <QString>
#include <QUuid>

#include <optional>
#include <utility>
#include <vector>

// One markup on the edited text: offsets count UTF-16 code units of editedText.
struct TextMarkupAnnotation {
    static inline const QString defaultHighlightColorHex = QStringLiteral("#FDE047");
    static inline const QString defaultUnderlineColorHex = QStringLiteral("#16A34A");

    QUuid id;
    qint64 sequenceNumber = 0;
    qint64 location = 0;
    qint64 length = 0;
    QString note;
    bool highlight = false;
    QString highlightColorHex = defaultHighlightColorHex;
    bool underline = false;
    QString underlineColorHex = defaultUnderlineColorHex;
    bool strikethrough = false;

    TextMarkupAnnotation() = default;
    // Negative location and length are stored as 0.
    TextMarkupAnnotation(QUuid id, qint64 sequenceNumber, qint64 location, qint64 length, QString note,
                         bool highlight, QString highlightColorHex, bool underline, QString underlineColorHex,
                         bool strikethrough);

    // (location, length) in UTF-16 units of the text, when the markup reaches into it.
    std::optional<std::pair<qint64, qint64>> nsRange(const QString &text) const;

    bool operator==(const TextMarkupAnnotation &) const = default;
};

// The text comparison document: the imported text, its edited copy and the markups on the copy.
struct TextComparisonState {
    QString sourceName;
    QString originalText;
    QString editedText;
    std::vector<TextMarkupAnnotation> annotations;

    TextComparisonState() = default;
    // Without an edited text, the copy starts equal to the original.
    TextComparisonState(QString sourceName, QString originalText, std::optional<QString> editedText,
                        std::vector<TextMarkupAnnotation> annotations);

    bool operator==(const TextComparisonState &) const = default;
};

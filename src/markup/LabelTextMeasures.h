#pragma once

#include <QString>

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

// The widths a label's line breaking asks for, kept per text at the label font's reference size.
// Wrapping compares widths in canvas units, which change with every zoom step, but each of them is
// a reference width times fontSize / referencePixelSize (see LabelFont). Keeping the reference
// widths lets a zoom step break every label again by the very same comparisons without asking
// the font engine, whose lookups take a lock that every thread building labels waits on.
namespace LabelTextMeasures {

class Text {
public:
    // A run of the text between line separators, cut into user-perceived characters.
    struct Piece {
        QString text;
        // Character boundaries in `text`: 0, …, text.size(); one more than the characters.
        std::vector<qsizetype> bounds;
        // Each character's reference width, measured on its own.
        std::vector<double> advances;

        size_t characters() const { return advances.size(); }
        QString mid(size_t first, size_t last) const
        {
            return text.mid(bounds[first], bounds[last] - bounds[first]);
        }
    };

    // Measures every character (needs the application's font database).
    explicit Text(const QString &text);

    const std::vector<Piece> &pieces() const { return m_pieces; }
    // Reference width of characters [first, last) of a piece measured together (shaping across
    // them included); measured on the first request, then kept.
    double span(size_t piece, size_t first, size_t last) const;

private:
    std::vector<Piece> m_pieces;
    mutable std::mutex m_mutex;
    mutable std::unordered_map<quint64, double> m_spans;
};

// The measures of a text, from a small cache shared by all threads.
std::shared_ptr<const Text> measures(const QString &text);

bool isLineSeparator(QChar c);

} // namespace LabelTextMeasures

#pragma once

#include "textengine/OffsetColumn.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

// Maps lines to small integer ids so that canonically equivalent lines share one id, holding no
// copy of a line: each distinct line is kept as where it lies in one of the texts it was read
// from (an offset and a length), in an open-addressing table of entries found by hash and told
// apart by their code units, so that lines whose hashes collide are never taken as equal. Lines
// not in NFD are normalised once; their NFD forms are kept as entries too, so that any line with
// the same decomposition finds the same id.
class LineInterner {
public:
    using Hash = std::size_t (*)(QStringView line);

    // For lines that all come from texts known to be in NFD (TokenInterner::isTriviallyDecomposed),
    // no line is normalised. The hash is the library's seeded one unless another is given.
    LineInterner(bool allDecomposed, std::size_t expectedLines, Hash hash = nullptr);
    LineInterner(const LineInterner &) = delete;
    LineInterner &operator=(const LineInterner &) = delete;

    // The text that the lines passed from now on lie in. It must outlive the interner and may
    // only grow at its end (its data may move).
    void readFrom(const QString *text);

    // The id of the line text[start, start + length) of the text read from.
    int id(qsizetype start, qsizetype length);

    // For a run of lookups: the line's hash, and a hint to fetch its slot ahead of id(); the
    // lookups of a long text then wait for memory together instead of one after another.
    std::size_t hashOf(qsizetype start, qsizetype length) const;
    void prefetch(std::size_t hash) const;
    int id(qsizetype start, qsizetype length, std::size_t hash);
    int size() const { return m_nextId; }

private:
    QStringView entryText(std::uint32_t entry) const;
    // The entry whose code units are the line's, or -1.
    std::int64_t find(QStringView line, std::size_t hash) const;
    void add(std::uint8_t source, qsizetype start, qsizetype length, std::size_t hash, int id);
    void grow();

    Hash m_hash;
    bool m_allDecomposed;
    std::vector<const QString *> m_sources;
    std::uint8_t m_reading = 0;
    // Per entry: where its code units lie, and its id (the entry's index while every text is
    // in NFD: then no two entries share an id).
    OffsetColumn m_starts;
    OffsetColumn m_lengths;
    std::vector<std::uint8_t> m_entrySources;
    std::vector<int> m_ids;
    // Per slot the entry's folded hash (high half) and its index + 1 (low half), 0 for a free
    // slot, so that a probe reads no entry but the one whose hash matches; a power of two, at
    // most half full.
    std::vector<std::uint64_t> m_slots;
    // The NFD forms of lines not in NFD, the source of their entries.
    QString m_decompositions;
    int m_nextId = 0;
};

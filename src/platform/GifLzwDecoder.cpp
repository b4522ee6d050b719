#include "platform/GifLzwDecoder.h"

#include <algorithm>
#include <cstring>

GifLzwDecoder::GifLzwDecoder(GifFileType *gif) : m_gif(gif)
{
    int minimumSize = 0;
    GifByteType *block = nullptr;
    if (DGifGetCode(gif, &minimumSize, &block) == GIF_ERROR || minimumSize < 1 || minimumSize > 8) {
        m_failed = true;
        return;
    }
    if (block) {
        m_block = block + 1; // giflib's blocks start with their length
        m_blockLeft = block[0];
    } else {
        m_blocksEnded = true;
    }
    m_minimumSize = minimumSize;
    m_clear = 1 << minimumSize;
    m_end = m_clear + 1;
    for (int code = 0; code < m_clear; ++code) {
        m_suffix[size_t(code)] = GifByteType(code);
        m_first[size_t(code)] = GifByteType(code);
        m_length[size_t(code)] = 1;
    }
    reset();
}

void GifLzwDecoder::reset()
{
    m_codeSize = m_minimumSize + 1;
    m_next = m_clear + 2;
    m_previous = -1;
}

bool GifLzwDecoder::nextBlock()
{
    if (m_blocksEnded)
        return false;
    GifByteType *block = nullptr;
    if (DGifGetCodeNext(m_gif, &block) == GIF_ERROR) {
        m_failed = true;
        return false;
    }
    if (!block) {
        m_blocksEnded = true;
        return false;
    }
    m_block = block + 1;
    m_blockLeft = block[0];
    return true;
}

int GifLzwDecoder::nextCode()
{
    while (m_bitCount < m_codeSize) {
        while (m_blockLeft == 0) {
            if (!nextBlock())
                return -1;
        }
        m_bits |= std::uint32_t(*m_block++) << m_bitCount;
        --m_blockLeft;
        m_bitCount += 8;
    }
    const int code = int(m_bits & ((1u << m_codeSize) - 1));
    m_bits >>= m_codeSize;
    m_bitCount -= m_codeSize;
    return code;
}

bool GifLzwDecoder::readRow(GifPixelType *row, int width)
{
    if (m_failed)
        return false;
    int filled = std::min(width, m_pendingTo - m_pendingFrom);
    std::memcpy(row, m_string.data() + m_pendingFrom, size_t(filled));
    m_pendingFrom += filled;
    while (filled < width) {
        const int code = nextCode();
        // Data that runs out, or ends, before the picture is complete is damaged.
        if (code < 0 || code == m_end) {
            m_failed = true;
            return false;
        }
        if (code == m_clear) {
            reset();
            continue;
        }
        if (m_previous < 0) {
            if (code > m_clear) {
                m_failed = true;
                return false;
            }
        } else if (code <= m_next && m_next < maxCodes) {
            // The new entry: the previous string and the first byte of this one (of the previous
            // one, when this code is the entry itself).
            const int first = code < m_next ? m_first[size_t(code)] : m_first[size_t(m_previous)];
            m_prefix[size_t(m_next)] = std::uint16_t(m_previous);
            m_suffix[size_t(m_next)] = GifByteType(first);
            m_first[size_t(m_next)] = m_first[size_t(m_previous)];
            m_length[size_t(m_next)] = std::uint16_t(m_length[size_t(m_previous)] + 1);
            ++m_next;
        } else if (code >= m_next) {
            // Not yet defined (a full table adds no entries).
            m_failed = true;
            return false;
        }
        m_previous = code;
        // The codes grow a bit once the table reaches the current size (counted as giflib does,
        // from the first code after a clear).
        if (m_next >= (1 << m_codeSize) && m_codeSize < 12)
            ++m_codeSize;

        // The string, written backwards from its last byte.
        const int length = m_length[size_t(code)];
        int at = code;
        for (int i = length - 1; i >= 0; --i) {
            m_string[size_t(i)] = m_suffix[size_t(at)];
            at = m_prefix[size_t(at)];
        }
        const int taken = std::min(length, width - filled);
        std::memcpy(row + filled, m_string.data(), size_t(taken));
        filled += taken;
        m_pendingFrom = taken;
        m_pendingTo = length;
    }
    return true;
}

bool GifLzwDecoder::finish()
{
    if (m_failed)
        return false;
    while (nextBlock()) {
    }
    return !m_failed;
}

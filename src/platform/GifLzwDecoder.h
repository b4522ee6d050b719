#pragma once

#include <gif_lib.h>

#include <array>
#include <cstdint>

// The LZW decoder of one GIF image's pixel data, row by row. giflib walks the file's blocks and
// hands over the coded bytes; the codes are decoded here, several times faster than giflib's own
// line decoder, which takes most of the time of decoding an animation.
class GifLzwDecoder {
public:
    // Starts on the image whose descriptor giflib has just read.
    explicit GifLzwDecoder(GifFileType *gif);

    // Fills `row` with the next `width` pixel indices; false when the data is damaged or ends
    // before them.
    bool readRow(GifPixelType *row, int width);

    // Skips what is left of the image's data (the end code, padding), so that giflib stands at the
    // next block; false when the file ends first.
    bool finish();

private:
    static constexpr int maxCodes = 4096;

    void reset();
    // The next code, or -1 when the data has run out.
    int nextCode();
    bool nextBlock();

    GifFileType *m_gif;
    bool m_failed = false;
    bool m_blocksEnded = false;
    const GifByteType *m_block = nullptr; // the data of the current sub-block
    int m_blockLeft = 0;
    std::uint32_t m_bits = 0;
    int m_bitCount = 0;

    int m_clear = 0;
    int m_end = 0;
    int m_minimumSize = 0;
    int m_codeSize = 0;
    int m_next = 0;
    int m_previous = -1;

    // Each code's string: the code before it, its last byte, its first byte and its length.
    std::array<std::uint16_t, maxCodes> m_prefix {};
    std::array<GifByteType, maxCodes> m_suffix {};
    std::array<GifByteType, maxCodes> m_first {};
    std::array<std::uint16_t, maxCodes> m_length {};

    // The last decoded string, as far as it did not fit into the row it was decoded for.
    std::array<GifByteType, maxCodes> m_string {};
    int m_pendingFrom = 0;
    int m_pendingTo = 0;
};

#pragma once

#include <QByteArray>

#include <tiffio.h>

// A TIFF held in memory, opened with libtiff under the program's limits: no single allocation of
// the library's beyond what one decode may hold, and its messages counted rather than printed.
class TiffFile {
public:
    explicit TiffFile(const QByteArray &bytes);
    ~TiffFile();
    TiffFile(const TiffFile &) = delete;
    TiffFile &operator=(const TiffFile &) = delete;

    // Null when the bytes are no TIFF libtiff can open.
    TIFF *tiff() const { return m_tiff; }
    // Errors libtiff reported since the file was opened.
    int errors() const { return m_errors; }

    // Whether the first page's data can plausibly fill the picture its tags declare: its strips or
    // tiles (counted once however many of them share their bytes, and never beyond the file) hold
    // enough for the picture at the most its compression can give. Small pictures always pass;
    // a large one declared over a few shared rows, or a compression bomb, does not.
    static bool dataCanFill(const QByteArray &bytes);

    // The tag's value, or `fallback` when the page has none and libtiff knows no default.
    template<typename T>
    T field(ttag_t tag, T fallback) const
    {
        T value = fallback;
        return TIFFGetFieldDefaulted(m_tiff, tag, &value) == 1 ? value : fallback;
    }

    struct Source {
        const QByteArray &bytes;
        toff_t at = 0;
    };

private:
    Source m_source;
    int m_errors = 0;
    int m_warnings = 0;
    TIFF *m_tiff = nullptr;
};

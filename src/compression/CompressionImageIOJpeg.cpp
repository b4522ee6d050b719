#include "compression/CompressionImageIO.h"

#include "compression/ImageCompressionModel.h"
#include "platform/DecodeBudget.h"
#include "platform/ImageContentFormat.h"
#include "platform/ImageLimits.h"
#include "platform/JpegFile.h"
#include "platform/JpegLibrary.h"
#include "platform/NewFile.h"

#include <QFile>
#include <QImageReader>

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

// Re-encoding a JPEG at its own size with the decoder's rows going straight into the encoder.
namespace CompressionImageIO {

namespace {

using JpegLibrary::ErrorExit;

// Rows handed from the decoding thread to the encoding one through a ring of bands, so neither
// holds the whole picture.
class RowRing {
public:
    static constexpr int bandRows = 16;
    static constexpr int bands = 8;

    explicit RowRing(size_t rowBytes)
        : m_rowBytes(rowBytes)
        , m_storage(rowBytes * bandRows * bands)
    {
    }

    JSAMPROW row(int band, int index)
    {
        return m_storage.data() + (size_t(band) * bandRows + size_t(index)) * m_rowBytes;
    }

    // Decoding side: the next free band, or −1 once the encoder gave up.
    int acquireFree()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_cancelled || m_filled - m_taken < bands; });
        return m_cancelled ? -1 : int(m_filled % bands);
    }
    void publish(int rows)
    {
        const std::lock_guard lock(m_mutex);
        m_rowsIn[size_t(m_filled % bands)] = rows;
        ++m_filled;
        m_changed.notify_all();
    }
    void finish(bool whole)
    {
        const std::lock_guard lock(m_mutex);
        m_finished = true;
        m_whole = whole;
        m_changed.notify_all();
    }

    // Encoding side: the next filled band and its row count, or −1 when no more will come.
    int acquireFilled(int &rows)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_taken < m_filled || m_finished; });
        if (m_taken == m_filled)
            return -1;
        rows = m_rowsIn[size_t(m_taken % bands)];
        return int(m_taken % bands);
    }
    void release()
    {
        const std::lock_guard lock(m_mutex);
        ++m_taken;
        m_changed.notify_all();
    }
    void cancel()
    {
        const std::lock_guard lock(m_mutex);
        m_cancelled = true;
        m_changed.notify_all();
    }
    bool decodedWhole()
    {
        const std::lock_guard lock(m_mutex);
        return m_finished && m_whole;
    }

private:
    size_t m_rowBytes;
    std::vector<JSAMPLE> m_storage;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    long m_filled = 0;
    long m_taken = 0;
    int m_rowsIn[bands] = {};
    bool m_finished = false;
    bool m_whole = false;
    bool m_cancelled = false;
};

// Decodes the picture into the ring, band by band, with the decoder's defaults (the ones Qt's
// reader keeps); false when it fails or cannot read its data whole. The ring lives with the
// caller, so the decoder's work holds nothing that needs destroying.
bool decodeIntoRing(const QByteArray &bytes, RowRing &ring)
{
    bool whole = false;
    const bool ran = JpegLibrary::decompress(bytes, [&](jpeg_decompress_struct &info, const ErrorExit &) {
        jpeg_start_decompress(&info);
        while (info.output_scanline < info.output_height) {
            const int band = ring.acquireFree();
            if (band < 0)
                return;
            int rows = 0;
            while (rows < RowRing::bandRows && info.output_scanline < info.output_height) {
                JSAMPROW target[RowRing::bandRows];
                for (int i = rows; i < RowRing::bandRows; ++i)
                    target[i - rows] = ring.row(band, i);
                rows += int(jpeg_read_scanlines(&info, target, JDIMENSION(RowRing::bandRows - rows)));
            }
            ring.publish(rows);
        }
        jpeg_finish_decompress(&info);
        whole = true;
    });
    return ran && whole;
}

// Output collected in memory; the buffer's capacity is kept for the next file on this thread.
struct MemoryDestination {
    jpeg_destination_mgr manager;
    std::vector<JOCTET> *bytes;
    size_t used;
};

constexpr size_t destinationStep = size_t(1) << 20;
constexpr size_t keptOutputBytes = size_t(16) << 20;

void initDestination(j_compress_ptr info)
{
    auto *destination = reinterpret_cast<MemoryDestination *>(info->dest);
    if (destination->bytes->size() < destinationStep)
        destination->bytes->resize(destinationStep);
    destination->used = 0;
    destination->manager.next_output_byte = destination->bytes->data();
    destination->manager.free_in_buffer = destination->bytes->size();
}

boolean growDestination(j_compress_ptr info)
{
    auto *destination = reinterpret_cast<MemoryDestination *>(info->dest);
    destination->used = destination->bytes->size();
    destination->bytes->resize(destination->used * 2);
    destination->manager.next_output_byte = destination->bytes->data() + destination->used;
    destination->manager.free_in_buffer = destination->bytes->size() - destination->used;
    return TRUE;
}

void termDestination(j_compress_ptr info)
{
    auto *destination = reinterpret_cast<MemoryDestination *>(info->dest);
    destination->used = destination->bytes->size() - destination->manager.free_in_buffer;
}

struct EncoderSettings {
    QSize size;
    bool grey = false;
    int quality = 75;
    int densityUnit = 1;
    int xDensity = 72;
    int yDensity = 72;
};

// Encodes the rows the ring receives, with the settings Qt's writer uses for an optimised write.
// False when the decoder stopped early or the encoder failed.
bool encodeFromRing(RowRing &ring, const EncoderSettings &settings, MemoryDestination &destination)
{
    bool finished = false;
    const bool ran = JpegLibrary::compress([&](jpeg_compress_struct &info) {
        destination.manager.init_destination = initDestination;
        destination.manager.empty_output_buffer = growDestination;
        destination.manager.term_destination = termDestination;
        info.dest = &destination.manager;
        info.image_width = JDIMENSION(settings.size.width());
        info.image_height = JDIMENSION(settings.size.height());
        info.input_components = settings.grey ? 1 : 3;
        info.in_color_space = settings.grey ? JCS_GRAYSCALE : JCS_RGB;
        jpeg_set_defaults(&info);
        info.density_unit = UINT8(settings.densityUnit);
        info.X_density = UINT16(settings.xDensity);
        info.Y_density = UINT16(settings.yDensity);
        info.optimize_coding = TRUE;
        jpeg_set_quality(&info, settings.quality, TRUE);
        jpeg_start_compress(&info, TRUE);
        int rows = 0;
        for (int band = ring.acquireFilled(rows); band >= 0; band = ring.acquireFilled(rows)) {
            JSAMPROW source[RowRing::bandRows];
            for (int i = 0; i < rows; ++i)
                source[i] = ring.row(band, i);
            int written = 0;
            while (written < rows)
                written += int(jpeg_write_scanlines(&info, source + written, JDIMENSION(rows - written)));
            ring.release();
        }
        if (info.next_scanline < info.image_height || !ring.decodedWhole())
            return;
        jpeg_finish_compress(&info);
        finished = true;
    });
    return ran && finished;
}

// Qt's writer rounds positive densities this way.
int roundedUp(double value) { return int(value + 0.5); }

// The density the general path writes: Qt's reader keeps the file's density in dots per metre
// (unless the text entries were stripped, which starts a new image at the screen's default), and
// its writer picks whichever unit represents that better.
void setDensity(EncoderSettings &settings, const jpeg_decompress_struct &header, bool keepsFileDensity)
{
    const QImage fresh(1, 1, QImage::Format_RGB32);
    int x = fresh.dotsPerMeterX();
    int y = fresh.dotsPerMeterY();
    if (keepsFileDensity && (header.density_unit == 1 || header.density_unit == 2)) {
        const double perMetre = header.density_unit == 1 ? 100. / 2.54 : 100.;
        if (header.X_density > 0)
            x = int(perMetre * header.X_density);
        if (header.Y_density > 0)
            y = int(perMetre * header.Y_density);
    }
    const double xInch = x * 2.54 / 100.;
    const double yInch = y * 2.54 / 100.;
    const double inchError = std::abs(xInch - roundedUp(xInch)) + std::abs(yInch - roundedUp(yInch));
    const double cmError = (std::abs(x / 100. - roundedUp(x / 100.)) + std::abs(y / 100. - roundedUp(y / 100.))) * 2.54;
    if (inchError < cmError) {
        settings.densityUnit = 1;
        settings.xDensity = roundedUp(xInch);
        settings.yDensity = roundedUp(yInch);
    } else {
        settings.densityUnit = 2;
        settings.xDensity = (x + 50) / 100;
        settings.yDensity = (y + 50) / 100;
    }
}

// The encoder's settings from the frame's header; false for a file the decoder refuses outright
// or one whose colours the decoder does not give as RGB or grey.
bool readSettings(const QByteArray &bytes, const JpegFile::Layout &layout, QSize stored, bool keepsFileDensity,
                  EncoderSettings &settings)
{
    bool usual = false;
    const bool read = JpegLibrary::decompress(bytes, [&](jpeg_decompress_struct &header, const ErrorExit &) {
        settings.grey = header.out_color_space == JCS_GRAYSCALE;
        usual = (settings.grey || header.out_color_space == JCS_RGB) && header.num_components == layout.components
            && QSize(int(header.image_width), int(header.image_height)) == stored;
        setDensity(settings, header, keepsFileDensity);
    });
    return read && usual;
}

} // namespace

std::optional<QSize> recodeJpeg(const QString &path, int fitLongEdge, const QString &outputPath, double jpegQuality)
{
    QFile source(path);
    QImageReader reader(&source);
    if (!source.open(QIODevice::ReadOnly) || !ImageContentFormat::prepare(reader, source.peek(ImageContentFormat::headBytes)))
        return std::nullopt;
    reader.setAutoTransform(false);
    if (reader.format() != "jpeg" || reader.transformation() != QImageIOHandler::TransformationNone)
        return std::nullopt;
    const QSize stored = reader.size();
    if (!stored.isValid() || !ImageLimits::isAcceptableSize(stored.width(), stored.height())
        || fittedSize(stored, fitLongEdge) != stored)
        return std::nullopt;
    // Text entries are stripped before writing, and with them the density read from the file.
    const bool keepsFileDensity = reader.textKeys().isEmpty();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    file.close();
    // Cut-short files, CMYK and embedded profiles take the general path.
    const std::optional<JpegFile::Layout> layout = JpegFile::layout(bytes);
    if (!layout || JpegFile::endsEarly(*layout) || !layout->iccProfile.isEmpty()
        || (layout->components != 1 && layout->components != 3) || JpegFile::isUndecodable(*layout))
        return std::nullopt;

    EncoderSettings settings;
    if (!readSettings(bytes, *layout, stored, keepsFileDensity, settings))
        return std::nullopt;
    settings.size = stored;
    settings.quality = std::min(int(std::lround(jpegQuality * 100)), 100);

    // What the decoder and the optimising encoder hold, within the budget shared with other decodes.
    const DecodeBudget::Reservation held(JpegFile::coefficientBufferBytes(*layout)
                                         + JpegFile::optimisingEncoderBytes(stored, settings.grey));
    RowRing ring(size_t(stored.width()) * (settings.grey ? 1 : 3));
    bool decoded = false;
    std::thread decoder;
    try {
        decoder = std::thread([&] {
            decoded = decodeIntoRing(bytes, ring);
            ring.finish(decoded);
        });
    } catch (const std::system_error &) {
        return std::nullopt; // no thread to spare: the general path works on this one
    }
    // The output buffer is kept for the next file on this thread, unless a large picture grew it.
    thread_local std::vector<JOCTET> encoded;
    struct Trim {
        ~Trim()
        {
            if (encoded.capacity() > keptOutputBytes)
                std::vector<JOCTET>().swap(encoded);
        }
    } trim;
    MemoryDestination destination {};
    destination.bytes = &encoded;
    const bool written = encodeFromRing(ring, settings, destination);
    ring.cancel();
    decoder.join();
    if (!written || !decoded)
        return std::nullopt;

    ReasonedFile output(outputPath);
    if (!output.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw ImageCompressionServiceError::cannotCreateDestination(outputPath, output.errorNumber());
    if (output.write(reinterpret_cast<const char *>(encoded.data()), qint64(destination.used))
            != qint64(destination.used)
        || !output.flush())
        throw ImageCompressionServiceError::cannotFinalize(outputPath, output.errorNumber());
    output.close();
    if (output.error() != QFileDevice::NoError)
        throw ImageCompressionServiceError::cannotFinalize(outputPath, output.errorNumber());
    return stored;
}

} // namespace CompressionImageIO

#include "platform/PdfImageWriter.h"

#include <QDateTime>
#include <QFileDevice>

#include <fcntl.h>

namespace {

// Numbers of the objects written first; pages follow.
constexpr int catalogObject = 1;
constexpr int pageTreeObject = 2;
constexpr int infoObject = 3;

QByteArray number(qint64 value) { return QByteArray::number(value); }

QByteArray reference(int object) { return number(object) + " 0 R"; }

} // namespace

PdfImageWriter::PdfImageWriter(QIODevice &device)
    : m_device(device)
{
    m_offsets.push_back(0);
    // The binary comment tells transfer programs the file is not text.
    write("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
    beginObject();
    write("<< /Type /Catalog /Pages " + reference(pageTreeObject) + " >>\nendobj\n");
    // The page tree lists the pages, so it is written last; its number is kept free until then.
    m_offsets.push_back(0);
    beginObject();
    const QByteArray date = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
    write("<< /Producer (Kivora) /CreationDate (D:" + date + "Z) >>\nendobj\n");
}

int PdfImageWriter::beginObject()
{
    const int object = int(m_offsets.size());
    m_offsets.push_back(m_position);
    write(number(object) + " 0 obj\n");
    return object;
}

bool PdfImageWriter::write(const QByteArray &bytes)
{
    if (m_failed)
        return false;
    if (m_device.write(bytes) != bytes.size()) {
        m_failed = true;
        return false;
    }
    m_position += bytes.size();
    return true;
}

bool PdfImageWriter::addPage(int width, int height, const QByteArray &imageData)
{
    if (width <= 0 || height <= 0 || imageData.isEmpty() || m_failed)
        return false;
    const QByteArray w = number(width), h = number(height);
    const int page = int(m_offsets.size());
    const int contents = page + 1;
    const int image = page + 2;

    beginObject();
    write("<< /Type /Page /Parent " + reference(pageTreeObject) + " /MediaBox [0 0 " + w + ' ' + h
          + "] /Resources << /ProcSet [/PDF /ImageC] /XObject << /Im0 " + reference(image) + " >> >> /Contents "
          + reference(contents) + " >>\nendobj\n");

    // The unit square scaled to the page: the picture's first row at the top.
    const QByteArray draw = "q\n" + w + " 0 0 " + h + " 0 0 cm\n/Im0 Do\nQ\n";
    beginObject();
    write("<< /Length " + number(draw.size()) + " >>\nstream\n" + draw + "\nendstream\nendobj\n");

    beginObject();
    write("<< /Type /XObject /Subtype /Image /Width " + w + " /Height " + h
          + " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode /DecodeParms << /Predictor 15 "
            "/Colors 3 /BitsPerComponent 8 /Columns "
          + w + " >> /Length " + number(imageData.size()) + " >>\nstream\n");
    write(imageData);
    write("\nendstream\nendobj\n");
    if (m_failed)
        return false;
    m_pages.push_back(page);
    startWriteback();
    return true;
}

void PdfImageWriter::startWriteback()
{
    // A file's pages go to disk while later pages are made, rather than all in the final sync
    // (a QSaveFile syncs when it commits). Only a hint: failures show in later writes.
    auto *file = qobject_cast<QFileDevice *>(&m_device);
    if (!file || !file->flush() || file->handle() < 0)
        return;
    sync_file_range(file->handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool PdfImageWriter::finish()
{
    if (m_pages.empty() || m_failed)
        return false;
    m_offsets[pageTreeObject] = m_position;
    QByteArray kids;
    for (const int page : m_pages)
        kids += reference(page) + ' ';
    write(number(pageTreeObject) + " 0 obj\n<< /Type /Pages /Kids [" + kids + "] /Count " + number(pageCount())
          + " >>\nendobj\n");

    const qint64 table = m_position;
    QByteArray xref = "xref\n0 " + number(qint64(m_offsets.size())) + "\n0000000000 65535 f \n";
    for (size_t object = 1; object < m_offsets.size(); ++object)
        xref += QByteArray::number(m_offsets[object]).rightJustified(10, '0') + " 00000 n \n";
    write(xref);
    write("trailer\n<< /Size " + number(qint64(m_offsets.size())) + " /Root " + reference(catalogObject) + " /Info "
          + reference(infoObject) + " >>\nstartxref\n" + number(table) + "\n%%EOF\n");
    return !m_failed;
}

#include "platform/PdfTextLayer.h"

#include <gtest/gtest.h>

namespace {

// A font dictionary and its character map laid out as QPdfWriter writes them.
QByteArray document(const QByteArray &face, const QByteArray &ranges)
{
    return "%PDF-1.4\n7 0 obj\n<< /Type /Font\n/Subtype /Type0\n/BaseFont /" + face
        + "\n/Encoding /Identity-H\n/DescendantFonts [15 0 R]\n/ToUnicode 16 0 R>>\nendobj\n"
          "16 0 obj\n<< /Length 300 >>\nstream\n/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
          "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n4 beginbfrange\n"
        + ranges + "endbfrange\nendcmap\nend\nend\nendstream\nendobj\ntrailer\n%%EOF\n";
}

} // namespace

TEST(PdfTextLayer, RadicalsBecomeTheirIdeographsAndNothingElseMoves)
{
    // No installed face has this name: the compatibility equivalents of the radicals are used.
    const QByteArray ranges = "<0000> <0000> <0000>\n<0001> <0004> [<2F00> <0041> <2F08> <2F79> ]\n"
                              "<0005> <0005> <2F42>\n<0006> <000F> <2F00>\n";
    const QByteArray expected = "<0000> <0000> <0000>\n<0001> <0004> [<4E00> <0041> <4EBA> <7F51> ]\n"
                                "<0005> <0005> <6587>\n<0006> <000F> <2F00>\n";
    const QByteArray pdf = document("NoSuchFace-Regular", ranges);
    const QByteArray repaired = PdfTextLayer::withIdeographsForRadicals(pdf);
    EXPECT_EQ(repaired, document("NoSuchFace-Regular", expected));
    EXPECT_EQ(repaired.size(), pdf.size()); // offsets and stream lengths stay valid

    // A linear range names consecutive characters and is left alone; so is a radical without a
    // compatibility equivalent when the face is unknown.
    const QByteArray untouched = "<0000> <0000> <0000>\n<0006> <000F> <2F00>\n<0010> <0010> <2E80>\n";
    EXPECT_EQ(PdfTextLayer::withIdeographsForRadicals(document("NoSuchFace-Regular", untouched)),
              document("NoSuchFace-Regular", untouched));
}

TEST(PdfTextLayer, DocumentsItCannotReadComeBackUnchanged)
{
    const QByteArray ranges = "<0001> <0001> <2F00>\n";
    for (QByteArray pdf : {document("Face-Regular", ranges), QByteArray("/ToUnicode 16 0 R"), QByteArray(),
                           QByteArray("/BaseFont /X /ToUnicode 99 0 R>> endobj")}) {
        // A character map that is compressed, missing or referenced without an object is not read.
        pdf.replace("begincmap", "xxxxxxxxx");
        EXPECT_EQ(PdfTextLayer::withIdeographsForRadicals(pdf), pdf);
    }
    // A truncated document ends inside the map.
    const QByteArray cut = document("Face-Regular", ranges).left(260);
    EXPECT_EQ(PdfTextLayer::withIdeographsForRadicals(cut), cut);
}

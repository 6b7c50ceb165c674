// The pictures of the two forms that carry text (the nominal list's caption
// strips, drawn at build time; the annex's emblem, title and captions, drawn
// at the start of a run): every text whole within its picture, which a text
// set wider than its picture is not: it loses its last letters at the
// picture's edge, so the edges must be paper.
#include "printing/repadtl.h"
#include "printing/repdtl.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace r56;

namespace {

// Ink: darker than mid grey (the name strip's paper is the strip's grey).
int inkAtTheEdges(const QImage &picture)
{
    const QImage img = picture.convertToFormat(QImage::Format_Grayscale8);
    const auto ink = [&](int x, int y) { return qGray(img.pixel(x, y)) < 128 ? 1 : 0; };
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (const int x : {0, 1, 2, img.width() - 3, img.width() - 2, img.width() - 1})
            n += ink(x, y);
    for (int x = 0; x < img.width(); ++x)
        n += ink(x, 0) + ink(x, img.height() - 1);
    return n;
}

} // namespace

TEST(FormPictures, EveryTextStandsWholeWithinItsPicture)
{
    using L = repdtl::Picture;
    using A = repadtl::Picture;
    struct Case
    {
        const char *name;
        const QImage &picture;
    };
    const Case cases[] = {
        {"list: instruction", repdtl::picture(L::CapInstruction)},
        {"list: no workers", repdtl::picture(L::CapNoWorkers)},
        {"list: year", repdtl::picture(L::CapYear)},
        {"list: page number", repdtl::picture(L::CapPageNo)},
        {"list: total pages", repdtl::picture(L::CapPages)},
        {"list: address", repdtl::picture(L::CapAddress)},
        {"list: employer name", repdtl::picture(L::CapName)},
        {"annex: emblem", repadtl::picture(A::Emblem)},
        {"annex: title", repadtl::picture(A::PortugueseTitle)},
        {"annex: employer number", repadtl::picture(A::CaptionEmployerNo)},
        {"annex: page number", repadtl::picture(A::CaptionPageNo)},
        {"annex: total pages", repadtl::picture(A::CaptionPages)},
        {"annex: taxpayer number", repadtl::picture(A::CaptionTaxNo)},
        {"annex: amount", repadtl::picture(A::CaptionAmount)},
        {"annex: signature", repadtl::picture(A::CaptionSignature)},
        {"annex: stamp", repadtl::picture(A::CaptionStamp)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.picture.isNull());
        EXPECT_EQ(inkAtTheEdges(c.picture), 0);
    }
}

// JPEG through libjpeg: a picture comes back at its size and close to its
// colours; bytes that are not a whole JPEG give a null image.
#include "printing/jpegio.h"

#include <QColor>
#include <gtest/gtest.h>

using namespace r56;

TEST(Jpeg, RoundTrip)
{
    QImage img(64, 40, QImage::Format_RGB32);
    img.fill(QColor(30, 120, 200));
    const QByteArray bytes = jpeg::encode(img, 95);
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_TRUE(bytes.startsWith("\xFF\xD8"));
    const QImage back = jpeg::decode(bytes);
    ASSERT_EQ(back.size(), img.size());
    const QColor c = back.pixelColor(32, 20);
    EXPECT_NEAR(c.red(), 30, 6);
    EXPECT_NEAR(c.green(), 120, 6);
    EXPECT_NEAR(c.blue(), 200, 6);
}

TEST(Jpeg, BrokenBytesGiveNoPicture)
{
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(Qt::white);
    const QByteArray good = jpeg::encode(img);
    for (const QByteArray &bad : {QByteArray(), QByteArray("not a jpeg"), good.left(20),
                                  QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(100, '\0')})
        EXPECT_TRUE(jpeg::decode(bad).isNull()) << bad.size();
    EXPECT_TRUE(jpeg::encode(QImage()).isEmpty());
}

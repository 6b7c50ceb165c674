#include "platform/fonts.h"

#include <QFont>
#include <QString>
#include <QStringList>

namespace r56::platform {

QFont pixelFont(const QString &family, int pixels, bool bold)
{
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

QFont mingFont(int pixels, bool bold)
{
    return pixelFont(QStringLiteral("細明體"), pixels, bold);
}

void installFontSubstitutions()
{
    // The Ming faces: Latin text in a proportional serif, Chinese in the
    // Ming serif. The Ming font's own Latin letters are all half an em wide,
    // which sets the Portuguese halves of the captions and column headers
    // wider than the windows were laid out for; the serif keeps them within
    // their place and matches the Ming strokes. A character the first face
    // lacks comes from the next.
    static const char *const ming[] = {"細明體", "新細明體", "PMingLiU", "MingLiU"};
    for (const char *m : ming)
        QFont::insertSubstitutions(QString::fromUtf8(m),
                                   QStringList{QStringLiteral("Liberation Serif"), QStringLiteral("AR PL UMing TW")});
    // The Latin faces, with the Ming serif for the Chinese text some of
    // their captions hold: named here, the characters come from the same
    // font on every machine, whatever other Chinese fonts it has (the
    // system's own choice differs from one machine to the next, and so would
    // the printed forms).
    struct Sub { const char *from; const char *to; };
    static const Sub table[] = {
        {"Arial", "Liberation Sans"},
        {"Arial Narrow", "Liberation Sans Narrow"},
        {"MS Sans Serif", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
    };
    for (const Sub &s : table)
        QFont::insertSubstitutions(QString::fromUtf8(s.from),
                                   QStringList{QString::fromUtf8(s.to), QStringLiteral("AR PL UMing TW")});
}

} // namespace r56::platform

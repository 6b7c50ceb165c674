#include "platform/fonts.h"

#include <QFont>
#include <QString>

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
    struct Sub { const char *from; const char *to; };
    static const Sub table[] = {
        {"細明體", "AR PL UMing TW"},
        {"新細明體", "AR PL UMing TW"},
        {"PMingLiU", "AR PL UMing TW"},
        {"MingLiU", "AR PL UMing TW"},
        {"Arial", "Liberation Sans"},
        {"Arial Narrow", "Liberation Sans Narrow"},
        {"MS Sans Serif", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
    };
    for (const Sub &s : table)
        QFont::insertSubstitution(QString::fromUtf8(s.from), QString::fromUtf8(s.to));
}

} // namespace r56::platform

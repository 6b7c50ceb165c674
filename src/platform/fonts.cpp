#include "platform/fonts.h"

#include <QFont>
#include <QString>

namespace r56::platform {

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

#pragma once
// The windows and reports name the fonts of the original desktop ("細明體",
// "Arial", ...). This table maps each to the free font installed here with the
// same role (Ming serif, Arial metrics), so that layouts keep their widths.

#include <QFont>
#include <QString>

namespace r56::platform {

// A font as the windows were designed with it: family and size in pixels.
QFont pixelFont(const QString &family, int pixels, bool bold = false);
// The Ming serif the windows use most ("細明體").
QFont mingFont(int pixels, bool bold = false);

// Installs the substitution table; call once at the start of each program,
// after the application object exists.
void installFontSubstitutions();

} // namespace r56::platform

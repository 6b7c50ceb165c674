#pragma once
// Icons through the clipboard: a private clipboard format for icons, bound
// to the icon picture class in the picture loader. Both programs register
// the same format name; nothing in them copies or pastes a picture.
#include <QString>

namespace r56 {

// The name of the private icon format, the same in both programs.
inline const QString IconClipboardFormatName = QStringLiteral("R5R6 Icon");
// The number the registration gave the format (0 before it).
extern unsigned CF_ICON;

void registerClipIcon();

} // namespace r56

#include "components/clipicon.h"

#include "platform/picturereg.h"

namespace r56 {

unsigned CF_ICON = 0;

void registerClipIcon()
{
    CF_ICON = platform::registerClipboardFormat(IconClipboardFormatName);
    platform::registerClipboardFormatClass(CF_ICON, QStringLiteral("TIcon"));
}

} // namespace r56

#include "components/piccodecs.h"

#include "components/clipicon.h"
#include "components/kitgif.h"

namespace r56 {

TPictureCodecs::TPictureCodecs()
{
    registerClipIcon();
    registerGIFPicture();
}

TPictureCodecs::~TPictureCodecs()
{
    unregisterGIFPicture();
}

} // namespace r56

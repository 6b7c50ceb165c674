#pragma once
// The picture codecs' start-up and shut-down, made explicit: each program's
// main holds one of these for its whole run. (Registrations made by static
// objects inside a static library would be dropped by the linker.)
namespace r56 {

class TPictureCodecs
{
public:
    // The icon clipboard format, then the GIF picture.
    TPictureCodecs();
    // The GIF picture leaves the picture loader; the icon format has nothing
    // to undo.
    ~TPictureCodecs();
    TPictureCodecs(const TPictureCodecs &) = delete;
    TPictureCodecs &operator=(const TPictureCodecs &) = delete;
};

} // namespace r56

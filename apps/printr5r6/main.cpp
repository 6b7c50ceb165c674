// The form printing program: prints or previews one report per run.
#include "components/piccodecs.h"
#include "platform/fonts.h"
#include "platform/translations.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    r56::platform::installFontSubstitutions();
    r56::platform::installQtTranslations();
    r56::TPictureCodecs pictureCodecs; // GIF and icon formats with the picture loader
    return 0;
}

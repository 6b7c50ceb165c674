// The declaration program: the start-up objects, then the event loop until
// the main window closes.
#include "components/kitconst.h"
#include "components/piccodecs.h"
#include "platform/appicon.h"
#include "platform/fonts.h"
#include "platform/translations.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "shared/ur5r6msg.h"
#include "workbench/fusrgd.h"
#include "workbench/main.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    r56::platform::installFontSubstitutions();
    QApplication::setWindowIcon(r56::platform::programIcon());
    r56::platform::installQtTranslations();
    r56::RegisterHandCursors();
    r56::TPictureCodecs pictureCodecs; // GIF and icon formats with the picture loader
    r56::initpubvar();
    // The message handler goes in before the main window: the main window's
    // creation reads "idcode.sys", and a notice about a missing or broken
    // file must reach the user rather than only the log. The message window
    // stays hidden until the first message, as if it were created last.
    r56::MessageWindowHandler messages;
    r56::Tfmain mainWindow;
    // The data module `r56::dm56` is a program-wide object, alive already.
    r56::Tusrgd guide;
    mainWindow.show();
    return app.exec();
}

// The form printing program: prints or previews one report per run. Exit
// status 0 when the report printed or its preview was closed; anything else
// when nothing was printed.
#include "components/kitconst.h"
#include "components/piccodecs.h"
#include "platform/appicon.h"
#include "platform/fonts.h"
#include "platform/translations.h"
#include "printing/u_pr56_main.h"
#include "shared/pubvar.h"
#include "shared/ur5r6msg.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KBV Print"));
    r56::platform::installFontSubstitutions();
    QApplication::setWindowIcon(r56::platform::programIcon());
    r56::platform::installQtTranslations();
    r56::RegisterHandCursors();
    r56::TPictureCodecs pictureCodecs; // GIF and icon formats with the picture loader
    r56::initpubvar();
    // The program ends with the window's status, not when a window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    r56::Tfkbvprint window;
    window.show();
    // The data module `r56::dm56` is a program-wide object, alive already.
    r56::MessageWindowHandler messages;
    QObject::connect(&window, &r56::Tfkbvprint::finished, &app, [&](int status) {
        app.exit(status);
    });
    QStringList args = app.arguments();
    const QString program = args.isEmpty() ? QString() : args.takeFirst();
    window.setupjob(QApplication::applicationFilePath().isEmpty() ? program
                                                                  : QApplication::applicationFilePath(),
                    args);
    // The window shows first; the job runs from the event loop.
    QTimer::singleShot(0, &window, [&] { window.announcejob(); });
    return app.exec();
}

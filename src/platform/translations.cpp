#include "platform/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace r56::platform {

QString qtTranslationsPath() { return QLibraryInfo::path(QLibraryInfo::TranslationsPath); }

bool installQtTranslations()
{
    bool any = false;
    // The catalogues live as long as the program.
    for (const char *name : {"qtbase_zh_TW", "qt_zh_TW"}) {
        auto *t = new QTranslator(QCoreApplication::instance());
        if (t->load(QString::fromLatin1(name), qtTranslationsPath()) && QCoreApplication::installTranslator(t))
            any = true;
        else
            delete t;
    }
    return any;
}

} // namespace r56::platform

// The form printing program: prints or previews one report per run.
#include "platform/fonts.h"
#include "platform/translations.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    r56::platform::installFontSubstitutions();
    r56::platform::installQtTranslations();
    return 0;
}

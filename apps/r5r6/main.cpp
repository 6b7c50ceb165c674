// The declaration program.
#include "platform/fonts.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    r56::platform::installFontSubstitutions();
    QLabel placeholder(QStringLiteral("R5R6"));
    placeholder.show();
    return app.exec();
}

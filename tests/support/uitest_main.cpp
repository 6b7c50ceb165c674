// Entry point of the widget tests: an application object on Qt's offscreen
// platform, the font table installed, then every test.
#include "platform/fonts.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) // the build lists them: no application, no platform's notes
        return RUN_ALL_TESTS();
    QApplication app(argc, argv);
    r56::platform::installFontSubstitutions();
    return RUN_ALL_TESTS();
}

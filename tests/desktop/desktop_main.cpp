// Entry point of the desktop lane: an application object on the xcb platform
// (the X server that xsession.sh started), the programs' fonts and
// translations, then every test. A test that fails keeps its pictures.
#include "desktop.h"

#include "platform/fonts.h"
#include "platform/translations.h"

#include <QApplication>
#include <QDir>
#include <gtest/gtest.h>

namespace {

class Pictures : public ::testing::EmptyTestEventListener
{
    void OnTestStart(const ::testing::TestInfo &info) override
    {
        r56::desk::testStarted(QString::fromLatin1(info.test_suite_name()) + QLatin1Char('.')
                               + QString::fromLatin1(info.name()));
    }
    void OnTestPartResult(const ::testing::TestPartResult &r) override
    {
        if (r.failed())
            r56::desk::testFailed();
    }
    void OnTestEnd(const ::testing::TestInfo &info) override
    {
        // Pictures of a test that passed are kept only when asked for.
        if (info.result()->Passed() && qEnvironmentVariableIsEmpty("R56_SHOTS"))
            QDir(r56::desk::testFolder()).removeRecursively();
    }
};

} // namespace

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "The desktop tests run on an X display: tests/desktop/xsession.sh\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    r56::platform::installFontSubstitutions();
    r56::platform::installQtTranslations();
    ::testing::UnitTest::GetInstance()->listeners().Append(new Pictures);
    return RUN_ALL_TESTS();
}

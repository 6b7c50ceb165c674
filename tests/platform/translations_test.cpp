// Qt's own texts in Traditional Chinese once the catalogues are installed.
#include "platform/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <gtest/gtest.h>

using namespace r56::platform;

TEST(QtTranslations, TheFrameworkTextsComeInTraditionalChinese)
{
    if (!QDir(qtTranslationsPath()).exists(QStringLiteral("qtbase_zh_TW.qm")))
        GTEST_SKIP() << "Qt's Traditional Chinese catalogues are not installed";
    // The file dialog's and the message box's own words.
    const QString open = QCoreApplication::translate("QFileDialog", "&Open");
    const QString cancel = QCoreApplication::translate("QPlatformTheme", "Cancel");
    ASSERT_EQ(open, QStringLiteral("&Open"));
    ASSERT_TRUE(installQtTranslations());
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "&Open"), open);
    EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
}

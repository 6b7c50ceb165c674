// The print program's job set-up without its window: the job file's name,
// bounded reading, the employer file read (never created), the tables of the
// job's half, the command-line form, and the description texts.
#include "printing/pr56job.h"

#include "msgrecorder.h"
#include "printfixture.h"
#include "shared/big5.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using namespace r56;
using namespace r56::test;

TEST(PrintProgramJobFile, NamedAfterTheProgramBesideIt)
{
    struct Case { const char *program; const char *job; };
    const Case cases[] = {
        {"/opt/r56/printr5r6", "/opt/r56/printr5r6.ini"},
        {"/opt/r56/printr5r6.exe", "/opt/r56/printr5r6.ini"},
        {"/opt/a.exe.d/printr5r6.EXE", "/opt/a.exe.d/printr5r6.ini"},
        {"/opt/a.exe.d/printr5r6", "/opt/a.exe.d/printr5r6.ini"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(pr56::jobfilename(QString::fromLatin1(c.program)), QString::fromLatin1(c.job))
            << c.program;
}

TEST(PrintProgramJobFile, ReadsOneBoundedLine)
{
    QTemporaryDir dir;
    const QString f = dir.filePath(QStringLiteral("printr5r6.ini"));
    PrintJob j;
    EXPECT_EQ(pr56::readjobfile(f, j), pr56::JobFile::Missing);
    EXPECT_EQ(pr56::readjobfile(dir.path(), j), pr56::JobFile::Unreadable);

    ASSERT_TRUE(writeFile(f, QByteArray(3 * 1024 * 1024, 'x')));
    EXPECT_EQ(pr56::readjobfile(f, j), pr56::JobFile::TooLong);

    const QByteArray line = "1 - 32 -- 1 3  1 0 0 0  V C:\\DECL\\EMPLOYER.cmp";
    ASSERT_TRUE(writeFile(f, line + "\r\n" + QByteArray(3 * 1024 * 1024, '\x01')));
    ASSERT_EQ(pr56::readjobfile(f, j), pr56::JobFile::Read);
    EXPECT_EQ(j, printjob::parseline(line));

    ASSERT_TRUE(writeFile(f, QByteArray(printjob::kMaxLine, ' ') + "\n"));
    EXPECT_EQ(pr56::readjobfile(f, j), pr56::JobFile::Read);
    ASSERT_TRUE(writeFile(f, QByteArray(printjob::kMaxLine + 1, ' ') + "\n"));
    EXPECT_EQ(pr56::readjobfile(f, j), pr56::JobFile::TooLong);
}

class SetupJob : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(decl.writeEmployer());
        program = decl.path(QStringLiteral("printr5r6"));
        cmpname.clear();
        dtaname.clear();
        axaname.clear();
        cmpfile = TCmpFile();
    }
    void writeJob(const QByteArray &line)
    {
        ASSERT_TRUE(writeFile(pr56::jobfilename(program), line + "\r\n"));
    }
    QByteArray path() const { return big5::encode(decl.cmp); }

    Declaration decl;
    QString program;
    MessageRecorder messages;
};

TEST_F(SetupJob, ReadsTheJobAndTheEmployerAndNamesTheTables)
{
    writeJob(printjob::buildline('1', true, false, 1, 3, true, 0, 0, true, false, path()));
    ASSERT_TRUE(pr56::setupjob(program, {}));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(pr56::jobready);
    EXPECT_TRUE(pr56::joblist);
    EXPECT_FALSE(pr56::jobannex);
    EXPECT_EQ(pr56::job.first, 1);
    EXPECT_EQ(pr56::job.last, 3);
    EXPECT_EQ(cmpfile.block.compid(), QByteArray("5012345A"));
    EXPECT_EQ(dtaname, decl.base + QStringLiteral(".dta"));
    EXPECT_EQ(axaname, decl.base + QStringLiteral(".axa"));
}

TEST_F(SetupJob, SecondHalfReadsItsOwnTables)
{
    ASSERT_TRUE(decl.writeEmployer(2003));
    writeJob(printjob::buildline('2', false, true, 1, 3, true, 0, 0, false, true, path()));
    ASSERT_TRUE(pr56::setupjob(program, {}));
    EXPECT_EQ(dtaname, decl.base + QStringLiteral(".dt2"));
    EXPECT_EQ(axaname, decl.base + QStringLiteral(".a2a"));
    EXPECT_EQ(cmpfile.firsthalf, 0);
    // Only 2003 is declared in halves: another year reads its one set.
    ASSERT_TRUE(decl.writeEmployer(2023));
    ASSERT_TRUE(pr56::setupjob(program, {}));
    EXPECT_EQ(dtaname, decl.base + QStringLiteral(".dta"));
}

TEST_F(SetupJob, APathWithBlanksIsReadWholeFromTheFile)
{
    const QString folder = decl.path(QStringLiteral("my  decl s"));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::copy(decl.cmp, folder + QStringLiteral("/e m p.cmp")));
    writeJob(printjob::buildline('0', false, false, 1, 1, true, 0, 0, false, false,
                                 big5::encode(folder + QStringLiteral("/e m p.cmp"))));
    ASSERT_TRUE(pr56::setupjob(program, {}));
    EXPECT_EQ(dtaname, folder + QStringLiteral("/e m p.dta"));
}

TEST_F(SetupJob, TheCommandLineStandsInForAMissingJobFile)
{
    const QByteArray line = printjob::buildline('1', true, false, 2, 4, false, 3, -1, false, false, path());
    const QStringList words = QString::fromLatin1(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ASSERT_TRUE(pr56::setupjob(program, words));
    EXPECT_EQ(pr56::job, printjob::parseline(line));

    ASSERT_FALSE(pr56::setupjob(program, {}));
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.last().plainBox);
    EXPECT_EQ(messages.last().text, QStringLiteral("KBV Print Error:0"));
    EXPECT_FALSE(pr56::jobready);

    ASSERT_FALSE(pr56::setupjob(program, words.mid(0, 9)));
    EXPECT_EQ(messages.last().text, QStringLiteral("KBV Print Error:9"));
}

TEST_F(SetupJob, ALongPathIsNeverCut)
{
    const QString folder = decl.path(QString(120, QLatin1Char('d')));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString cmp = folder + QStringLiteral("/decl.v1.cmp");
    ASSERT_TRUE(QFile::copy(decl.cmp, cmp));
    writeJob(printjob::buildline('0', false, false, 1, 1, true, 0, 0, false, false, big5::encode(cmp)));
    ASSERT_TRUE(pr56::setupjob(program, {}));
    EXPECT_EQ(cmpname, cmp);
    EXPECT_EQ(dtaname, folder + QStringLiteral("/decl.v1.dta"));
}

TEST_F(SetupJob, ModeAllTakesEveryPage)
{
    writeJob("2 A 32 36 4 7  1 0 0 0  P " + path());
    ASSERT_TRUE(pr56::setupjob(program, {}));
    EXPECT_EQ(pr56::job.first, 1);
    EXPECT_EQ(pr56::job.last, 9999);
    EXPECT_TRUE(pr56::waitsforuser(pr56::job));
}

TEST_F(SetupJob, RefusedJobsSayWhyAndWriteNothing)
{
    struct Case { const char *name; QByteArray line; const char *says; };
    const QByteArray missing = big5::encode(decl.path(QStringLiteral("none.cmp")));
    ASSERT_TRUE(writeFile(decl.path(QStringLiteral("short.cmp")), QByteArray(100, 'x')));
    const QByteArray truncated = big5::encode(decl.path(QStringLiteral("short.cmp")));
    const Case cases[] = {
        {"missing employer file", "0 - -- -- 1 1  1 0 0 0  P " + missing, "找不到公司檔案"},
        {"truncated employer file", "0 - -- -- 1 1  1 0 0 0  P " + truncated, "找不到公司檔案"},
        {"employer path is a folder", "0 - -- -- 1 1  1 0 0 0  P " + big5::encode(decl.dir.path()),
         "找不到公司檔案"},
        {"no path", "0 - -- -- 1 1  1 0 0 0  P", "Parametros"},
        {"kind 7", "7 - 32 -- 1 1  1 0 0 0  P " + path(), "Parametros"},
        {"range backwards", "1 - 32 -- 5 3  1 0 0 0  P " + path(), "Parametros"},
        {"copies 100", "1 - 32 -- 1 3  100 0 0 0  P " + path(), "Parametros"},
        {"offset beyond the margins", "1 - 32 -- 1 3  1 0 25 0  P " + path(), "Parametros"},
        {"no article", "1 T -- -- 1 1 1 0 0 0 P " + path(), "Parametros"},
        {"noise", QByteArray("\x01\xff\xfe garbage \x80\x81"), "Parametros"},
    };
    for (const Case &c : cases) {
        messages.messages.clear();
        writeJob(c.line);
        EXPECT_FALSE(pr56::setupjob(program, {})) << c.name;
        EXPECT_FALSE(pr56::jobready) << c.name;
        ASSERT_EQ(messages.messages.size(), 1) << c.name;
        EXPECT_TRUE(messages.last().text.contains(QString::fromUtf8(c.says))) << c.name;
        EXPECT_EQ(messages.last().caption, QStringLiteral("列印程序")) << c.name;
    }
    EXPECT_FALSE(QFileInfo::exists(decl.path(QStringLiteral("none.cmp"))));
    EXPECT_EQ(readFile(decl.path(QStringLiteral("short.cmp"))), QByteArray(100, 'x'));
    EXPECT_EQ(QDir(decl.dir.path()).entryList(QDir::Files).size(), 3); // cmp, short, job file
}

TEST(PrintProgramTexts, DescriptionOfAListJob)
{
    PrintJob j = printjob::parseline("1 - 32 -- 1 3  1 0 0 0  V C:\\DECL\\EMPLOYER.cmp");
    EXPECT_EQ(pr56::announceChinese(j, true, false),
              QStringLiteral("預覽32條例的僱員或散工名表\r\n列印範圍：由第1頁至第3頁（共3頁）"));
    EXPECT_EQ(pr56::announcePortuguese(j, true, false),
              QStringLiteral("PREVISAO DA ARTIGO 32 DA RELACAO DOS EMPREGADOS\r\n"
                             "Area a impressao:Da pagina 1 a 3 (total 3 de paginas)"));
    j.preview = false;
    j.art32 = false;
    EXPECT_EQ(pr56::announceChinese(j, false, true).section(QLatin1Char('\r'), 0, 0),
              QStringLiteral("列印36條例的不屬課稅收益明細表"));
    EXPECT_TRUE(pr56::announcePortuguese(j, false, true)
                    .startsWith(QLatin1String("IMPRESSAO DA ARTIGO 36 DA DISCRIMINACAO DA MATERIA NAO COLECTAVEL")));
}

TEST(PrintProgramTexts, FiftyPagesRunAtOnceFiftyOneWait)
{
    PrintJob j;
    j.first = 1;
    j.last = 50;
    EXPECT_FALSE(pr56::waitsforuser(j));
    j.last = 51;
    EXPECT_TRUE(pr56::waitsforuser(j));
}

// Names that are not regular files — a pipe, a link to a device, a link that
// leads nowhere, a link loop, a folder — handed to every reader and to the
// import, check and open flows: each gives its missing or unreadable answer
// at once (none waits on the pipe or reads the device without end) and none
// writes over the name.
#include "interchange/checkflow.h"
#include "interchange/exchange.h"
#include "interchange/importflow.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "shared/tablefile.h"
#include "shared/anexocat.h"
#include "workbench/modtaxerflow.h"
#include "workbench/reportflow.h"

#include "msgrecorder.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

using namespace r56;

namespace {

struct Kind
{
    const char *name;
    std::function<bool(const QString &)> make;
    bool missing; // leads to no file: taken as a missing file
};

const std::vector<Kind> &kinds()
{
    static const std::vector<Kind> k{
        {"pipe", [](const QString &p) { return ::mkfifo(QFile::encodeName(p).constData(), 0644) == 0; }, false},
        {"link to /dev/zero", [](const QString &p) { return QFile::link(QStringLiteral("/dev/zero"), p); }, false},
        {"dangling link", [](const QString &p) { return QFile::link(p + QStringLiteral(".gone"), p); }, true},
        {"link loop", [](const QString &p) { return QFile::link(p, p); }, true},
        {"folder", [](const QString &p) { return QDir().mkdir(p); }, true},
    };
    return k;
}

// What the name is, to see that nobody replaced it.
QString what(const QString &p)
{
    const QFileInfo fi(p);
    if (fi.isSymLink())
        return QStringLiteral("link to ") + fi.symLinkTarget();
    struct stat st;
    if (::lstat(QFile::encodeName(p).constData(), &st) != 0)
        return QStringLiteral("nothing");
    return S_ISFIFO(st.st_mode) ? QStringLiteral("pipe") : S_ISDIR(st.st_mode) ? QStringLiteral("folder") : QStringLiteral("file");
}

QByteArray listRecord(const char *cntb)
{
    ListRecordData d;
    d.compid = "5012345A";
    d.year = 2024;
    d.art = 32;
    d.cntb = cntb;
    d.nmc = test::b5("陳大文");
    d.nmp = "CHAN TAI MAN";
    d.rend = Currency::fromHundredths(2400000);
    d.rexp = " ";
    d.leavedate = "00000000";
    d.period = "0112";
    return *makelistrecord(d) + "\r\n";
}

QByteArray companyFile()
{
    QByteArray out;
    for (const QByteArray &l : {QByteArray("5012345A"), QByteArray("2024&101120000"), test::b5("大豐貿易"),
                                QByteArray("TAI FONG"), QByteArray(), QByteArray(), QByteArray(), QByteArray(),
                                QByteArray("28123456")})
        out += l + "\r\n";
    return out;
}

struct Reader
{
    const char *name;
    const char *file; // the name the reader is handed, in a folder of its own
    // Runs the reader on the folder; true when it refused the name as it
    // should.
    std::function<bool(const QString &dir, const QString &path, test::MessageRecorder &msgs)> refuses;
    // A missing employer file is made anew; one whose name leads nowhere is
    // refused: the new file would replace the link.
    bool createsWhenMissing = false;
};

const std::vector<Reader> &readers()
{
    static const std::vector<Reader> r{
        {"exchange reader", "R56_0112.TXT",
         [](const QString &, const QString &p, test::MessageRecorder &) {
             ExchangeReader rd;
             return !rd.open(p) && rd.status() != ReadStatus::Ok;
         }},
        {"table file", "d.dta",
         [](const QString &, const QString &p, test::MessageRecorder &) {
             MemTable t(staffFields());
             return !tablefile::loadFile(t, p);
         }},
        {"employer file", "d.cmp",
         [](const QString &, const QString &p, test::MessageRecorder &) {
             const QString saved = cmpname;
             cmpname = p;
             TCmpFile r;
             const bool read = readcmp(r);
             cmpname = saved;
             return !read;
         },
         true},
        {"item catalogue", "r56axa2.inf",
         [](const QString &, const QString &p, test::MessageRecorder &) { return !anexocat::load(p).ok(); }},
        {"iddesc.sys", "iddesc.sys",
         [](const QString &, const QString &p, test::MessageRecorder &) {
             QStringList lines;
             return !modtaxer::readIdDesc(p, lines);
         }},
        {"idcode.sys", "idcode.sys",
         [](const QString &dir, const QString &, test::MessageRecorder &) {
             const QString saved = startdir;
             startdir = dir;
             const bool read = loadidcode();
             startdir = saved;
             return !read;
         }},
        {"margin.sys", "margin.sys",
         [](const QString &, const QString &p, test::MessageRecorder &) {
             reportflow::Margins m{};
             return reportflow::readmargins(p, m) != reportflow::MarginRead::Read;
         }},
        {"open: worker table", "d.dta",
         [](const QString &, const QString &p, test::MessageRecorder &msgs) {
             Tdm56 dm;
             return !dm.loadstaff(p) && !msgs.empty();
         }},
        {"import: list file", "R56_0112.TXT",
         [](const QString &dir, const QString &p, test::MessageRecorder &) {
             test::writeFile(dir + QStringLiteral("/CADA0112.TXT"), companyFile());
             Tdm56 dm;
             TCmpFile rec;
             importflow::ImportFlow flow(dm, rec);
             return flow.read(p) != importflow::ImportFlow::ReadResult::Imported;
         }},
        {"import: company file", "CADA0112.TXT",
         [](const QString &dir, const QString &, test::MessageRecorder &msgs) {
             test::writeFile(dir + QStringLiteral("/R56_0112.TXT"), listRecord("12345678"));
             Tdm56 dm;
             TCmpFile rec;
             importflow::ImportFlow flow(dm, rec);
             return flow.read(dir + QStringLiteral("/R56_0112.TXT")) != importflow::ImportFlow::ReadResult::Imported
                 && !msgs.empty();
         }},
        {"check: list file", "R56_0112.TXT",
         [](const QString &, const QString &p, test::MessageRecorder &) {
             checkflow::Checker c;
             return c.check(p).end != checkflow::End::Completed;
         }},
    };
    return r;
}

} // namespace

TEST(NonRegularFiles, EveryReaderAndFlowRefusesThemAtOnceAndLeavesThem)
{
    for (const Reader &rd : readers()) {
        for (const Kind &k : kinds()) {
            SCOPED_TRACE(std::string(rd.name) + " / " + k.name);
            QTemporaryDir d;
            const QString p = d.path() + QLatin1Char('/') + QLatin1String(rd.file);
            ASSERT_TRUE(k.make(p));
            const QString before = what(p);
            test::MessageRecorder msgs;
            // A name that leads to no file is answered as a missing file
            // is (an import goes on without a company file, say).
            bool expected = true;
            if (k.missing && !rd.createsWhenMissing) {
                QTemporaryDir none;
                test::MessageRecorder m;
                expected = rd.refuses(none.path(), none.path() + QLatin1Char('/') + QLatin1String(rd.file), m);
            }
            EXPECT_EQ(rd.refuses(d.path(), p, msgs), expected);
            EXPECT_EQ(what(p), before);
        }
    }
}

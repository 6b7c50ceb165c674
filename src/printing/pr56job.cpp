#include "printing/pr56job.h"

#include "platform/casefs.h"
#include "platform/localpath.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/showmsg.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>

namespace r56::pr56 {

PrintJob job;
bool jobready = false;
bool joblist = false;
bool jobannex = false;

QString caption()
{
    return QStringLiteral("列印程序");
}

QString errorBoxText(int n)
{
    return QStringLiteral("KBV Print Error:") + QString::number(n);
}

QString jobfilename(const QString &programPath)
{
    return printjob::jobfilename(programPath);
}

JobFile readjobfile(const QString &path, PrintJob &out)
{
    const QFileInfo fi(path);
    if (!fi.exists())
        return JobFile::Missing;
    QFile f(path);
    if (!fi.isFile() || !f.open(QIODevice::ReadOnly))
        return JobFile::Unreadable;
    // One line and a byte more: enough to see that a line is too long.
    const QByteArray head = f.read(printjob::kMaxLine + 2);
    if (f.error() != QFileDevice::NoError)
        return JobFile::Unreadable;
    qsizetype end = head.indexOf('\n');
    if (end < 0) {
        if (head.size() > printjob::kMaxLine)
            return JobFile::TooLong;
        end = head.size();
    } else if (end > printjob::kMaxLine + 1) {
        return JobFile::TooLong;
    }
    QByteArrayView line = QByteArrayView(head).first(end);
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.size() > printjob::kMaxLine)
        return JobFile::TooLong;
    out = printjob::parseline(line);
    return JobFile::Read;
}

namespace {

bool refuse(const QString &text)
{
    showmsgw(caption(), text, mkContinue);
    return false;
}

QString noEmployerText()
{
    return QStringLiteral("找不到公司檔案");
}

} // namespace

bool setupjob(const QString &programPath, const QStringList &args)
{
    jobready = false;
    joblist = false;
    jobannex = false;
    PrintJob j;
    switch (readjobfile(jobfilename(programPath), j)) {
    case JobFile::Read:
        break;
    case JobFile::Missing:
        if (args.size() < 10) {
            msgbox(errorBoxText(int(args.size())), QStringLiteral("KBV Print"), mbOk);
            return false;
        }
        j = printjob::parsewords(args);
        break;
    case JobFile::TooLong:
        return refuse(printjob::toolongtext());
    case JobFile::Unreadable:
        return refuse(QStringLiteral("讀取列印參數檔失效\r\nNao foi possivel ler o ficheiro de parametros\r\n")
                      + jobfilename(programPath));
    }
    if (j.modeall) {
        j.first = 1;
        j.last = printjob::kMaxPage;
    }
    job = j;
    const QString why = printjob::checkjob(j);
    if (!why.isEmpty())
        return refuse(why);

    // The whole path, as the job gives it; the tables beside it under its
    // base name, of the half the job names.
    const QString path = big5::decode(j.path);
    if (!platform::fileExistsCaseBlind(path))
        return refuse(noEmployerText());
    setcmpname(platform::LocalPath::found(platform::resolveCaseBlind(path)));
    TCmpFile rec;
    if (!readcmp(rec))
        return refuse(noEmployerText());
    rec.firsthalf = j.secondhalf ? 0 : 1;
    // The same naming rule as the declaration program's open.
    const TableNames t = tableNames(cmpname, rec.block.eano(), !j.secondhalf);
    dtaname = t.dta;
    axaname = t.axa;
    axcname = t.axc;
    cmpfile = rec;
    joblist = j.kind == '1';
    jobannex = j.kind == '2';
    jobready = true;
    return true;
}

QString announceChinese(const PrintJob &j, bool list, bool annex)
{
    QString s = j.preview ? QStringLiteral("預覽") : QStringLiteral("列印");
    s += j.art32 ? QStringLiteral("32條例的") : QStringLiteral("36條例的");
    if (list)
        s += QStringLiteral("僱員或散工名表");
    if (annex)
        s += QStringLiteral("不屬課稅收益明細表");
    s += QStringLiteral("\r\n列印範圍：由第") + QString::number(j.first) + QStringLiteral("頁")
        + QStringLiteral("至第") + QString::number(j.last) + QStringLiteral("頁")
        + QStringLiteral("（共") + QString::number(qint64(j.last) - j.first + 1)
        + QStringLiteral("頁）");
    return s;
}

QString announcePortuguese(const PrintJob &j, bool list, bool annex)
{
    QString s = j.preview ? QStringLiteral("PREVISAO DA ") : QStringLiteral("IMPRESSAO DA ");
    s += j.art32 ? QStringLiteral("ARTIGO 32 DA ") : QStringLiteral("ARTIGO 36 DA ");
    if (list)
        s += QStringLiteral("RELACAO DOS EMPREGADOS");
    if (annex)
        s += QStringLiteral("DISCRIMINACAO DA MATERIA NAO COLECTAVEL");
    s += QStringLiteral("\r\nArea a impressao:Da pagina ") + QString::number(j.first)
        + QStringLiteral(" a ") + QString::number(j.last) + QStringLiteral(" (total ")
        + QString::number(qint64(j.last) - j.first + 1) + QStringLiteral(" de paginas)");
    return s;
}

QString longRangeChinese()
{
    return QStringLiteral("由於所選擇印出之頁數較多，為減輕電腦系統之負荷，\r\n建議分批印出");
}

QString longRangePortuguese()
{
    return QStringLiteral("Devido a area seleccionada para imprimir ser muito\r\n"
                          "grande. Por favor, divida a impressao do relatorio\r\n"
                          "em varios subconjuntos de paginas.");
}

bool waitsforuser(const PrintJob &j)
{
    return qint64(j.last) - j.first >= 50;
}

QString bt2Caption(bool preview)
{
    return preview ? QStringLiteral("預覽\r\nPrevisao") : QStringLiteral("列印\r\nImprimir");
}

} // namespace r56::pr56

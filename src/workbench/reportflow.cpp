#include "workbench/reportflow.h"

#include "platform/regularfile.h"
#include "shared/big5.h"
#include "shared/printjob.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QtEndian>

namespace r56::reportflow {

// ------------------------------------------------------------------ margins

QString marginfile()
{
    return startpath(QStringLiteral("margin.sys"));
}

MarginRead readmargins(const QString &path, Margins &out)
{
    // A regular file of exactly the margins' size: a pipe or a device under
    // the name is not waited on, a longer file is not ours.
    QByteArray b;
    switch (platform::readregular(path, kMarginFileSize, b)) {
    case platform::ReadOutcome::Ok: break;
    case platform::ReadOutcome::Missing: return MarginRead::Missing;
    default: return MarginRead::Bad;
    }
    if (b.size() != kMarginFileSize)
        return MarginRead::Bad;
    for (int i = 0; i < 4; ++i)
        out[i] = qFromLittleEndian<std::int32_t>(b.constData() + 4 * i);
    return MarginRead::Read;
}

QByteArray marginbytes(const Margins &m)
{
    QByteArray b(kMarginFileSize, '\0');
    for (int i = 0; i < 4; ++i)
        qToLittleEndian<std::int32_t>(m[i], b.data() + 4 * i);
    return b;
}

namespace {

bool writeWhole(const QString &path, const QByteArray &bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

} // namespace

bool writemargins(const QString &path, const Margins &m)
{
    return writeWhole(path, marginbytes(m));
}

std::int32_t clampmargin(std::int32_t v)
{
    return qBound(kMarginMin, v, kMarginMax);
}

// ------------------------------------------------------------------ ranges

Range checkrange(const QString &firstText, const QString &lastText, int count)
{
    Range r;
    const auto first = printjob::wholenumber(firstText.trimmed().toLatin1());
    const auto last = printjob::wholenumber(lastText.trimmed().toLatin1());
    if (!first || !last || *first > *last)
        return r;
    std::int32_t f = *first;
    std::int32_t l = *last;
    if (f <= 0)
        f = 1;
    if (f > count)
        f = count;
    if (l <= 0 || l > count)
        l = count;
    r.ok = true;
    r.first = QString::number(f);
    r.last = QString::number(l);
    return r;
}

// ------------------------------------------------------------------ print program

QString printprogram(const QString &dir)
{
    return dir + QStringLiteral("/printr5r6");
}

bool writejobfile(const QString &program, const QByteArray &line)
{
    return writeWhole(printjob::jobfilename(program), line + "\r\n");
}

QStringList jobwords(const QByteArray &line)
{
    QStringList words;
    for (const QByteArray &w : line.split(' '))
        if (!w.isEmpty())
            words << big5::decode(w);
    return words;
}

RunResult runprogram(const QString &program, const QStringList &args)
{
    RunResult r;
    QProcess p;
    p.setProgram(program);
    p.setArguments(args);
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&p, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            loop.quit();
    });
    p.start();
    if (!p.waitForStarted(10000))
        return r;
    r.started = true;
    if (p.state() != QProcess::NotRunning)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    r.crashed = p.exitStatus() == QProcess::CrashExit;
    r.status = p.exitCode();
    return r;
}

// ------------------------------------------------------------------ texts

QString caption()
{
    return QStringLiteral("列印報表 ( Impressao do Mapa )");
}

QString noArticleText()
{
    return QStringLiteral("請選擇至少一種薪資稅條款");
}

QString noArticleCaption()
{
    return QStringLiteral("列印表報");
}

QString rangeText(int article)
{
    const QString a = QString::number(article);
    return QStringLiteral("條例") + a + QStringLiteral("之列印範圍不正確\r\n\r\nA area a impressao do Artigo ")
        + a + QStringLiteral(" nao esta correcta");
}

QString topMarginText()
{
    return QStringLiteral("上邊界超出範圍\r\nMargem superior nao pode superior a 30mm");
}

QString leftMarginText()
{
    return QStringLiteral("左邊界超出範圍\r\nMargem esquerda nao pode superior a 30mm");
}

QString marginCaption()
{
    return QStringLiteral("注意(Attencao)");
}

QString noDataText(bool annex)
{
    const QString zh = annex ? QStringLiteral("附件A-不屬課稅收益明細表") : QStringLiteral("僱員或散工名表");
    const QString pt = annex ? QStringLiteral("Anexo-A Discriminacao da materia nao colectavel")
                             : QStringLiteral("Relacao Nominal-Empregados/Aassalariados");
    return QStringLiteral("沒有\"") + zh + QStringLiteral("\"的資料,暫不能列印測試頁\r\n\r\nNao ha dados da \"") + pt
        + QStringLiteral("\"\r\nNao pode imprimir a pagina de testa");
}

QString testCaption()
{
    return QStringLiteral("列印測試頁(Impressao da pagina de teste)");
}

namespace {

QString pad(const QString &s, int fullWidth, int blanks = 0)
{
    return s + QString(blanks, QLatin1Char(' ')) + QString(fullWidth, QChar(0x3000));
}

} // namespace

QString testText(bool annex)
{
    const QString zh = annex ? pad(QStringLiteral("附件 A - 不屬課稅收益明細表 "), 8)
                             : pad(QStringLiteral("僱員或散工名表"), 16);
    const QString pt = annex ? pad(QStringLiteral("Anexo A  -  Discriminacao da\r\nmateria nao colectavel"), 15, 10)
                             : pad(QStringLiteral("Relacao Nominal-E./A. "), 3);
    return QStringLiteral("已印出第一頁之") + zh + QStringLiteral("\r\n\r\n")
        + QStringLiteral("若印出之報表位置正確，請於前一畫面按\"儲存邊界設定\"按鈕，儲存\r\n")
        + QStringLiteral("設定資料供日後列印之用。否則，請調整邊界設定並再印出測試頁。\r\n\r\n")
        + QStringLiteral("Esta impressa a primeira pagina de ") + pt + QStringLiteral("\r\n\r\n")
        + QStringLiteral("Se o relatorio esta correctamente impresso, seleccione, on ecra\r\n")
        + QStringLiteral("anterior, o botao \"Guardar a definicao de margem\"  para guardar\r\n")
        + pad(QStringLiteral("esta definicao para futuras impressoes; "), 11) + QStringLiteral("\r\n")
        + QStringLiteral("Ou, ajuste a definicao de margem e imprima novamemte  a  pagina\r\n")
        + pad(QStringLiteral("de teste. "), 26);
}

QString annexReminderText()
{
    return QStringLiteral("提醒閣下:\r\n  請列印不屬課稅收益明細表 - 附件A\r\nFAZER LEMBRAR A V.EXA:\r\n"
                          "IMPRESSAO DO ANEXO A -\r\n DISCRIMINACAO DA MATERIA NAO COLECTAVEL");
}

QString beforePrintText()
{
    return QStringLiteral("列印報表前, 請先關閉其他應用程式。\r\nFavor fechar todas as outras aplicacoes\r\n"
                          "em uso antes de imprimir os mapas.");
}

QString marginFileBadText(const QString &path)
{
    return QStringLiteral("邊界設定檔不正確，未有讀入:\r\n") + path
        + QStringLiteral("\r\n\r\nO ficheiro das margens nao e valido e nao foi lido.");
}

QString marginSaveFailedText(const QString &path)
{
    return QStringLiteral("儲存邊界設定失敗:\r\n") + path
        + QStringLiteral("\r\n\r\nNao foi possivel guardar a definicao de margem.");
}

QString jobWriteFailedText(const QString &path)
{
    return QStringLiteral("無法寫入列印參數檔，報表沒有印出:\r\n") + path
        + QStringLiteral("\r\n\r\nNao foi possivel escrever o ficheiro de parametros; nada foi impresso.");
}

QString notStartedText(const QString &program)
{
    return QStringLiteral("無法啟動列印程式，報表沒有印出:\r\n") + program
        + QStringLiteral("\r\n\r\nNao foi possivel iniciar o programa de impressao; nada foi impresso.");
}

QString crashedText()
{
    return QStringLiteral("列印程式異常結束，報表可能沒有印出。\r\n\r\n"
                          "O programa de impressao terminou de forma anormal; o relatorio pode nao ter sido impresso.");
}

QString pathNotBig5Text(const QString &path)
{
    return QStringLiteral("檔案路徑含有不能列印的字元，請將檔案移至其他資料夾:\r\n") + path
        + QStringLiteral("\r\n\r\nO caminho do ficheiro contem caracteres invalidos; mude o ficheiro para outra pasta.");
}

QString periodtext(const TCmpFile &rec)
{
    if (rec.block.eano() != 2003)
        return {};
    const QByteArray pair = rec.block.periodpair();
    const QByteArray half = rec.firsthalf ? pair.left(4) : pair.mid(4, 4);
    if (half == "0109")
        return QStringLiteral("一月至九月\r\n(Janeiro a Setembro)");
    if (half == "1012")
        return QStringLiteral("十月至十二月\r\n(Outubro a Dezembro)");
    if (half == "0106")
        return QStringLiteral("上半年 1°semestre(1-6)");
    if (half == "0712")
        return QStringLiteral("下半年 2°semestre(7－12)");
    return {};
}

} // namespace r56::reportflow

#include "workbench/modtaxerflow.h"

#include "platform/regularfile.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"

#include <QFile>

namespace r56::modtaxer {

QString dialogCaption() { return QStringLiteral("更新R5/R6資料 ( Alteracao dos Dados do R5/R6 )"); }

QString modeTitle(int editmode)
{
    return editmode == 1
        ? QStringLiteral("修改僱員個人資料\r\nAlteracao dos Dados Pessoais do Empregado")
        : QStringLiteral("登記僱員個人資料\r\nRegisto dos Dados Pessoais do Empregado");
}

QString modeCaption(int editmode)
{
    return editmode == 1
        ? QStringLiteral("修改僱員個人資料 (Alteracao dos Dados Pessoais do Empregado)")
        : QStringLiteral("登記僱員個人資料 (Registo dos Dados Pessoais do Empregado)");
}

QString errorText(int error)
{
    switch (error) {
    case errArticle:
        return QStringLiteral("未輸入條款編號\r\nE preciso de introduzir o Artigo");
    case errNumber:
        return QStringLiteral("稅務編號不正確\r\nO No. Contribuinte invalido");
    case errPtName:
        return QStringLiteral("未輸入葡文姓名或葡文姓名不正確\r\n"
                              "E preciso de introduzir o nome em Portugues,\r\n"
                              "ou e nome em Portugues nao esta correcto");
    case errDuplicate:
        return QStringLiteral("稅務編號重覆\r\nO No. Contribuinte e duplicado");
    default:
        return {};
    }
}

int articleOf(const QString &text)
{
    const QString t = text.trimmed();
    if (t == QLatin1String("32"))
        return 32;
    if (t == QLatin1String("36"))
        return 36;
    return 0;
}

int checkEntry(const MemTable &staff, const Entry &entry)
{
    const int art = articleOf(entry.article);
    if (art == 0)
        return errArticle;
    const QByteArray number = entry.number.trimmed();
    if (chktaxno(number, art) != 0)
        return errNumber;
    if (big5::trim(entry.ptname).isEmpty())
        return errPtName;
    if (entry.numberEditable) {
        // Row by row over the stored workers: no cursor move, so the record
        // being registered is not posted by the search. It still holds the
        // placeholder number and never matches itself.
        for (int r = 0; r < staff.naturalCount(); ++r)
            if (staff.rowString(r, staffcol::cntb).trimmed() == number)
                return errDuplicate;
    }
    return errNone;
}

bool numberRefusedOnExit(const QByteArray &number, const QString &article)
{
    const QByteArray n = number.trimmed();
    return !n.isEmpty() && chktaxno(n, articleOf(article)) != 0;
}

bool numberCharAllowed(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

bool ptnameCharAllowed(QChar c)
{
    if ((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')))
        return true;
    return QStringLiteral(" '(),./:;").contains(c);
}

QString filterPtName(const QString &text)
{
    QString out;
    for (QChar c : text)
        if (ptnameCharAllowed(c))
            out += c.toUpper();
    return out;
}

QString idDescPath() { return startpath(QStringLiteral("iddesc.sys")); }

bool readIdDesc(const QString &path, QStringList &lines)
{
    lines.clear();
    // A text file of a few lines; anything far larger, or anything that is
    // not a regular file, is not this file.
    constexpr qint64 kLimit = 1 << 20;
    QByteArray all;
    if (platform::readregular(path, kLimit, all) != platform::ReadOutcome::Ok)
        return false;
    // Lines end in CR LF, LF or a lone CR; a final line break starts no line.
    qsizetype start = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const char c = all.at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines << big5::decode(QByteArrayView(all).sliced(start, i - start));
        if (c == '\r' && i + 1 < all.size() && all.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < all.size())
        lines << big5::decode(QByteArrayView(all).sliced(start));
    return true;
}

} // namespace r56::modtaxer

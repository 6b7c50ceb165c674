#include "shared/anexocat.h"

#include "platform/casefs.h"
#include "platform/regularfile.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/showmsg.h"

#include <QFile>
#include <QFileInfo>

namespace r56::anexocat {

namespace {

const QString kReinstall = QStringLiteral(
    "\r\n系統錯誤,請從新安裝\r\nErros no sistema. Por favor de instala-lo de novo");

// Text bytes of a line: Big5 pairs, printable ASCII and the tab. A control
// byte other than the tab, a lone 0x80 or 0xFF, or a lead byte without its
// trail means the file is not a Big5 text (a UTF-16 file, a binary, a cut).
bool isBig5Text(QByteArrayView line)
{
    for (qsizetype i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t') || c == 0x7F)
                return false;
            continue;
        }
        if (!big5::isLead(c) || i + 1 >= line.size()
            || !big5::isTrail(static_cast<unsigned char>(line[i + 1])))
            return false;
        ++i;
    }
    // Pairs that are well formed but have no character in the code page.
    return !big5::decode(line).contains(QChar::ReplacementCharacter);
}

bool isBlank(QByteArrayView line)
{
    for (const char ch : line)
        if (ch != ' ' && ch != '\t')
            return false;
    return true;
}

Catalogue fail(Status s, int line = 0, QByteArray code = {})
{
    Catalogue c;
    c.status = s;
    c.line = line;
    c.code = std::move(code);
    return c;
}

} // namespace

QString fileName()
{
    return QStringLiteral("r56axa2.inf");
}

int Item::rowHeight() const
{
    const int lines = description.isEmpty() ? 1 : int(description.size());
    return kRowHeightPerLine * lines;
}

int Catalogue::inUse() const
{
    if (!ok())
        return 0;
    return int(qMin<qsizetype>(entries.size(), kMaxRows));
}

int Catalogue::indexOf(QByteArrayView code) const
{
    const QByteArray key = big5::trim(code);
    if (key.isEmpty())
        return -1;
    const int n = inUse();
    for (int i = 0; i < n; ++i)
        if (entries.at(i).code == key)
            return i;
    return -1;
}

bool Catalogue::isValidCode(QByteArrayView code) const
{
    return indexOf(code) >= 0;
}

QList<QByteArray> Catalogue::codes() const
{
    QList<QByteArray> r;
    const int n = inUse();
    r.reserve(n);
    for (int i = 0; i < n; ++i)
        r.append(entries.at(i).code);
    return r;
}

Catalogue parse(QByteArrayView bytes)
{
    if (bytes.size() > kMaxFileBytes)
        return fail(Status::TooLarge);

    Catalogue c;
    c.status = Status::Ok;
    qsizetype pos = 0;
    int lineNo = 0;
    bool anyLine = false;
    while (pos < bytes.size()) {
        // Split at CR LF, LF or a lone CR, as a text list loads a file.
        qsizetype end = pos;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        const QByteArrayView line = bytes.sliced(pos, end - pos);
        pos = end;
        if (pos < bytes.size()) {
            if (bytes[pos] == '\r' && pos + 1 < bytes.size() && bytes[pos + 1] == '\n')
                pos += 2;
            else
                ++pos;
        }
        ++lineNo;

        if (line.size() > kMaxLineBytes)
            return fail(Status::LineTooLong, lineNo);
        if (!isBig5Text(line))
            return fail(Status::NotText, lineNo);
        if (isBlank(line))
            continue;

        if (line.size() < kCodeLineBytes) {
            const QByteArray code = big5::trim(line);
            for (const Item &it : std::as_const(c.entries))
                if (it.code == code)
                    return fail(Status::DuplicateCode, lineNo, code);
            if (c.entries.size() >= kMaxEntries)
                return fail(Status::TooManyItems, lineNo, code);
            Item it;
            it.code = code;
            c.entries.append(std::move(it));
        } else {
            if (c.entries.isEmpty())
                return fail(Status::NoLeadingCode, lineNo);
            c.entries.last().description.append(line.toByteArray());
        }
        anyLine = true;
    }
    if (!anyLine)
        return fail(Status::Empty);
    if (c.entries.size() > kMaxRows) {
        c.code = c.entries.last().code;
        c.line = 0;
    }
    return c;
}

Catalogue load(const QString &path)
{
    const QString real = platform::resolveCaseBlind(path);
    Catalogue c;
    const QFileInfo fi(real);
    if (!fi.exists() || fi.isDir()) {
        c = fail(Status::Missing);
    } else {
        // A regular file only (a pipe would hang the read, a device never
        // end), refused rather than cut when larger than a catalogue can be.
        QByteArray bytes;
        switch (platform::readregular(real, kMaxFileBytes, bytes)) {
        case platform::ReadOutcome::Ok: c = parse(bytes); break;
        case platform::ReadOutcome::Missing: c = fail(Status::Missing); break;
        case platform::ReadOutcome::TooLarge: c = fail(Status::TooLarge); break;
        case platform::ReadOutcome::NotRegular:
        case platform::ReadOutcome::Unreadable: c = fail(Status::Unreadable); break;
        }
    }
    c.path = real;
    return c;
}

QString defaultPath()
{
    return startpath(fileName());
}

Catalogue loadDefault()
{
    return load(defaultPath());
}

QString messageCaption(const Catalogue &c)
{
    if (c.status == Status::Unreadable)
        return QStringLiteral("附件A");
    return QStringLiteral("附件A(Anexo - A)");
}

QString messageText(const Catalogue &c)
{
    const QString name = c.path.isEmpty() ? fileName() : c.path;
    const QString line = QString::number(c.line);
    const QString code = big5::decode(c.code);
    switch (c.status) {
    case Status::Ok:
        if (!c.hasUnusedEntry())
            return {};
        return QStringLiteral("\r\n附件A項目檔 %1 的第 %2 個項目 \"%3\" 超出表格的 %4 行, 不會使用"
                              "\r\nO %2.o item \"%3\" do ficheiro %1 excede as %4 linhas da "
                              "tabela e nao sera usado")
            .arg(name).arg(kMaxEntries).arg(code).arg(kMaxRows);
    case Status::Missing:
    case Status::Empty:
        return kReinstall;
    case Status::Unreadable:
        return QStringLiteral("\r\nData Error:") + name + kReinstall;
    case Status::TooLarge:
        return QStringLiteral("\r\n附件A項目檔 %1 過大 (超過 %2 位元組)"
                              "\r\nFicheiro %1 demasiado grande (mais de %2 bytes)")
                   .arg(name).arg(kMaxFileBytes)
               + kReinstall;
    case Status::NotText:
        return QStringLiteral("\r\n附件A項目檔 %1 第 %2 行不是有效的中文 (Big5) 文字"
                              "\r\nFicheiro %1, linha %2: texto invalido (nao e Big5)")
                   .arg(name, line)
               + kReinstall;
    case Status::LineTooLong:
        return QStringLiteral("\r\n附件A項目檔 %1 第 %2 行過長 (超過 %3 位元組)"
                              "\r\nFicheiro %1, linha %2: linha demasiado longa (mais de %3 bytes)")
                   .arg(name, line).arg(kMaxLineBytes)
               + kReinstall;
    case Status::NoLeadingCode:
        return QStringLiteral("\r\n附件A項目檔 %1 第 %2 行: 說明之前沒有項目編號"
                              "\r\nFicheiro %1, linha %2: descricao sem codigo de item")
                   .arg(name, line)
               + kReinstall;
    case Status::TooManyItems:
        return QStringLiteral("\r\n附件A項目檔 %1 第 %2 行: 項目超過 %3 個"
                              "\r\nFicheiro %1, linha %2: mais de %3 itens")
                   .arg(name, line).arg(kMaxEntries)
               + kReinstall;
    case Status::DuplicateCode:
        return QStringLiteral("\r\n附件A項目檔 %1 第 %2 行: 項目編號 \"%3\" 重複"
                              "\r\nFicheiro %1, linha %2: codigo de item \"%3\" repetido")
                   .arg(name, line, code)
               + kReinstall;
    }
    return kReinstall;
}

bool report(const Catalogue &c)
{
    const QString text = messageText(c);
    if (!text.isEmpty())
        showmsgw(messageCaption(c), text, mkContinue);
    return c.ok();
}

} // namespace r56::anexocat

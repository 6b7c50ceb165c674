#include "shared/printjob.h"

#include "shared/big5.h"

#include <QDir>
#include <QFileInfo>

#include <limits>

namespace r56::printjob {

namespace {

void appendInt(QByteArray &out, std::int32_t v)
{
    out += QByteArray::number(v);
}

QByteArray head(char kind, char mode, bool art32, bool art36, bool secondhalf)
{
    QByteArray out;
    out += kind;
    out += ' ';
    out += mode;
    out += secondhalf ? '2' : ' ';
    out += art32 ? "32 " : "-- ";
    out += art36 ? "36 " : "-- ";
    return out;
}

// Reading from a position of the line, never past its end.
class Reader
{
public:
    explicit Reader(QByteArrayView line) : m_line(line) {}

    QByteArrayView token()
    {
        const qsizetype start = m_pos;
        while (m_pos < m_line.size() && m_line[m_pos] != ' ')
            ++m_pos;
        const QByteArrayView t = m_line.sliced(start, m_pos - start);
        skipBlanks();
        return t;
    }
    char character()
    {
        if (m_pos >= m_line.size())
            return 0;
        const char c = m_line[m_pos++];
        skipBlanks();
        return c;
    }
    QByteArrayView rest() const { return m_line.sliced(m_pos); }
    void seek(qsizetype pos) { m_pos = std::min(pos, m_line.size()); }

private:
    void skipBlanks()
    {
        while (m_pos < m_line.size() && m_line[m_pos] == ' ')
            ++m_pos;
    }
    QByteArrayView m_line;
    qsizetype m_pos = 0;
};

char at(QByteArrayView line, qsizetype pos1)
{
    return pos1 >= 1 && pos1 <= line.size() ? line[pos1 - 1] : 0;
}

bool pairAt(QByteArrayView line, qsizetype pos1, const char (&pair)[3])
{
    return at(line, pos1) == pair[0] && at(line, pos1 + 1) == pair[1];
}

std::int32_t numberOr(QByteArrayView t, std::int32_t def)
{
    return wholenumber(t).value_or(def);
}

} // namespace

QByteArray buildline(char kind, bool art32, bool art36, std::int32_t first, std::int32_t last,
                     bool blank, std::int32_t top, std::int32_t left, bool preview,
                     bool secondhalf, QByteArrayView path)
{
    QByteArray out = head(kind, '-', art32, art36, secondhalf);
    appendInt(out, first);
    out += ' ';
    appendInt(out, last);
    out += ' ';
    out += " 1 ";
    out += blank ? '0' : '1';
    out += ' ';
    appendInt(out, top);
    out += ' ';
    appendInt(out, left);
    out += ' ';
    out += preview ? " V " : " P ";
    out += path;
    return out;
}

QByteArray buildtestline(char kind, bool art32, bool art36, bool blank, std::int32_t top,
                         std::int32_t left, bool secondhalf, QByteArrayView path)
{
    QByteArray out = head(kind, 'T', art32, art36, secondhalf);
    out += "1 1 1 ";
    out += blank ? '0' : '1';
    out += ' ';
    appendInt(out, top);
    out += ' ';
    appendInt(out, left);
    out += " P ";
    out += path;
    return out;
}

std::optional<std::int32_t> wholenumber(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 12)
        return std::nullopt;
    qsizetype i = 0;
    bool negative = false;
    if (text[0] == '-' || text[0] == '+') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size())
        return std::nullopt;
    std::int64_t v = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
        if (v > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

PrintJob parseline(QByteArrayView raw)
{
    const QByteArrayView line = big5::trimmed(raw);
    PrintJob job;
    job.kind = at(line, 1);
    job.modeall = at(line, 3) == 'A';
    job.modetest = at(line, 3) == 'T';
    job.secondhalf = at(line, 4) == '2';
    job.art32 = pairAt(line, 5, "32");
    job.art36 = pairAt(line, 8, "36");
    Reader r(line);
    r.seek(10);
    job.first = numberOr(r.token(), 1);
    job.last = numberOr(r.token(), 9999);
    job.copies = numberOr(r.token(), 1);
    job.blank = r.character() == '0';
    job.top = numberOr(r.token(), 0);
    job.left = numberOr(r.token(), 0);
    job.preview = r.character() == 'V';
    job.path = r.rest().toByteArray();
    return job;
}

PrintJob parsewords(const QStringList &words)
{
    QByteArray line;
    for (const QString &w : words) {
        if (!line.isEmpty())
            line += ' ';
        line += big5::encode(w);
        if (line.size() > kMaxLine)
            break;
    }
    return parseline(line);
}

QString checkjob(const PrintJob &job)
{
    QString why;
    if (job.kind != '0' && job.kind != '1' && job.kind != '2')
        why = QStringLiteral("報表種類不正確\r\nTipo de relatorio invalido");
    else if (job.first < 1 || job.last > kMaxPage || job.first > job.last)
        why = QStringLiteral("列印範圍不正確\r\nA area a impressao nao esta correcta");
    else if (job.copies < 1 || job.copies > kMaxCopies)
        why = QStringLiteral("列印份數不正確 (1-99)\r\nNumero de copias invalido (1-99)");
    else if (job.top < kMinOffset || job.top > kMaxOffset || job.left < kMinOffset
             || job.left > kMaxOffset)
        why = QStringLiteral("邊界設定不正確 (0-30mm)\r\nMargens invalidas (0-30mm)");
    else if ((job.kind == '1' || job.kind == '2') && !job.art32 && !job.art36 && !job.modeall)
        why = QStringLiteral("請選擇至少一種薪資稅條款\r\nSeleccione pelo menos um artigo");
    else if (job.path.isEmpty())
        why = QStringLiteral("找不到公司檔案\r\nFicheiro da empresa nao encontrado");
    if (why.isEmpty())
        return why;
    return QStringLiteral("列印參數錯誤 (Parametros de impressao invalidos):\r\n\r\n") + why;
}

QString toolongtext()
{
    return QStringLiteral("列印參數錯誤 (Parametros de impressao invalidos):\r\n\r\n"
                          "列印參數過長\r\nA linha de parametros e demasiado longa");
}

QString jobfilename(const QString &programPath)
{
    const QFileInfo fi(programPath);
    QString base = fi.fileName();
    if (base.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        base.chop(4);
    return fi.dir().filePath(base + QStringLiteral(".ini"));
}

} // namespace r56::printjob

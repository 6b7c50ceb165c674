#include "workbench/sysadmflow.h"

#include "shared/big5.h"
#include "shared/showmsg.h"
#include "workbench/declock.h"

namespace r56::sysadm {

QString caption()
{
    return QStringLiteral("申報年度／商號資料 ( Exercicio da Declaracao / Dados da Ent. Patronal )");
}

QString invalidYearText()
{
    return QStringLiteral("年度不正確\r\nAno Invalido");
}

QString writeFailedText(const QString &path)
{
    return QStringLiteral("儲存檔案資料失效\r\nNao foi possivel gravar o ficheiro.\r\n") + path;
}

namespace {

// A text field counts as filled when something other than blanks is left:
// readcmp pads an empty number with blanks, and such a number is still the
// user's to type.
bool filled(const QByteArray &field)
{
    return !big5::trim(field).isEmpty();
}

QString normalisedLines(const QString &memo)
{
    QString s = memo;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QChar(u'\r'), QChar(u'\n'));
    s.replace(QChar(0x2029), QChar(u'\n'));
    return s;
}

} // namespace

EmployerInput inputFromRecord(const TCmpFile &rec)
{
    const CmpBlock &b = rec.block;
    EmployerInput in;
    in.year = QString::number(b.eano());
    // A number of blanks only shows as empty, so that it can be typed.
    in.compid = filled(b.compid()) ? big5::decode(b.compid()) : QString();
    in.chnm = big5::decode(b.compchnm());
    in.name = big5::decode(b.compname());
    QStringList lines;
    for (int i = 0; i < kAddrLines; ++i) {
        const QByteArray line = big5::trim(b.compaddr(i));
        if (!line.isEmpty())
            lines << big5::decode(line);
    }
    in.address = lines.join(QChar(u'\n'));
    in.tele = big5::decode(b.comptele());
    return in;
}

FieldLocks locksFor(const TCmpFile &rec)
{
    FieldLocks l;
    l.compid = filled(rec.block.compid());
    l.chnm = filled(rec.block.compchnm());
    l.name = filled(rec.block.compname());
    l.address = l.chnm || l.name;
    return l;
}

QString noticeFor(const FieldLocks &locks)
{
    if (locks.chnm || locks.name)
        return QStringLiteral("注意：你只能修改\"申報年度\"及\"聯絡電話\"");
    return QStringLiteral("以上資料應從稅務當局的磁碟中匯入,\r\n"
                          "如果是由自已製作的檔案中匯入資料,並且無商號名稱及地址時,\r\n"
                          "請於上方的資料欄中補充有關資料");
}

QString hintFor(HintTarget target)
{
    switch (target) {
    case HintTarget::Save: return QStringLiteral("結束並且將修改過的資料儲存起來");
    case HintTarget::Exit: return QStringLiteral("退出並且不會將修改過的資料儲存");
    case HintTarget::Telephone: return QStringLiteral("請於本欄填入聯絡電話");
    case HintTarget::Year: return QStringLiteral("請於本欄輸入申報薪資稅年度");
    case HintTarget::Other: break;
    }
    return {};
}

bool yearAcceptable(const QString &text, int currentYear, int *code)
{
    int ref = 0;
    const int r = chkyear(ref, big5::encode(text));
    if (code)
        *code = r;
    if (r != 0)
        return false;
    // Declarations of 2003 are opened but no longer made here; a year still
    // to come cannot be declared yet.
    return ref > 2003 && ref <= currentYear;
}

bool checkyear(const QString &text, int currentYear)
{
    if (yearAcceptable(text, currentYear))
        return true;
    showmsgw(caption(), invalidYearText(), mkContinue);
    return false;
}

bool fitsBytes(const QString &text, int maxBytes)
{
    return big5::encodable(text) && big5::encode(text).size() <= maxBytes;
}

bool fitsAddress(const QString &text)
{
    if (!big5::encodable(text))
        return false;
    const QStringList lines = normalisedLines(text).split(QChar(u'\n'));
    qsizetype total = 2 * (lines.size() - 1);
    for (const QString &line : lines) {
        const qsizetype n = big5::encode(line).size();
        if (n > kTextBytes)
            return false;
        total += n;
    }
    return total <= kMemoBytes;
}

bool telephoneChar(QChar c)
{
    return (c >= u'0' && c <= u'9') || c == u'(' || c == u')' || c == u',' || c == u'-';
}

bool telephoneText(const QString &text)
{
    for (QChar c : text)
        if (!telephoneChar(c))
            return false;
    return true;
}

QStringList addressLines(const QString &memo)
{
    QStringList lines;
    if (!memo.isEmpty())
        lines = normalisedLines(memo).split(QChar(u'\n'));
    while (lines.size() < kAddrLines)
        lines << QString();
    return lines.mid(0, kAddrLines);
}

void applyInput(const EmployerInput &in, TCmpFile &rec)
{
    CmpBlock &b = rec.block;
    const FieldLocks locks = locksFor(rec);
    // Locked fields came from the authority's files and keep their bytes as
    // stored; the setters cut by bytes without splitting a character.
    if (!locks.compid)
        b.setCompid(big5::encode(in.compid));
    b.setEano(in.year.trimmed().toInt());
    if (!locks.chnm)
        b.setCompchnm(big5::encode(in.chnm));
    if (!locks.name)
        b.setCompname(big5::encode(in.name));
    if (!locks.address) {
        const QStringList lines = addressLines(in.address);
        for (int i = 0; i < kAddrLines; ++i)
            b.setCompaddr(i, big5::encode(lines[i]));
    }
    b.setComptele(big5::encode(in.tele));
}

SaveResult save(const EmployerInput &in, TCmpFile &rec, int currentYear)
{
    if (!checkyear(in.year, currentYear))
        return SaveResult::InvalidYear;
    const declock::SaveLock lock(cmppath());
    if (!declock::mayWrite(lock, caption()))
        return SaveResult::HeldElsewhere;
    const TCmpFile before = rec;
    applyInput(in, rec);
    if (!writecmp(rec)) {
        // The file still holds the previous record; so does memory.
        rec = before;
        showmsgw(caption(), writeFailedText(cmpname), mkContinue);
        return SaveResult::WriteFailed;
    }
    return SaveResult::Saved;
}

} // namespace r56::sysadm

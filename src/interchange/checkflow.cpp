#include "interchange/checkflow.h"

#include "interchange/exchange.h"
#include "shared/big5.h"
#include "shared/ctrlcode.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"
#include "shared/anexocat.h"
#include "shared/parallel.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <array>
#include <map>
#include <vector>

namespace r56::checkflow {

QString caption()
{
    return QStringLiteral("檢查資料 VERIFICACAO DE DADOS");
}

QString defaultPath()
{
    return QStringLiteral("A:\\R56_0112.TXT");
}

QString stoppedMessage(int n)
{
    return QStringLiteral("\r\n檢查錯鋘\r\n至第") + QString::number(n)
        + QStringLiteral("行記錄,\r\n檢查結束");
}

QString stoppedLine(int n)
{
    return QStringLiteral("檢查錯鋘至第") + QString::number(n) + QStringLiteral("行記錄,檢查結束");
}

QString emptyLineStopText(const QString &file, int lineno)
{
    const QString n = QString::number(lineno);
    QString pt = QStringLiteral("R5R6");
    if (file.contains(QLatin1Char('A')))
        pt = QStringLiteral("Anexo - A");
    else if (file.contains(QLatin1Char('C')))
        pt = QStringLiteral("Anexo - C");
    return file + QStringLiteral("檔案第") + n
        + QStringLiteral("行是空白記錄,檢查在此停止,其後的記錄未有檢查") + QStringLiteral("\r\n")
        + QStringLiteral("A linha ") + n + QStringLiteral(" do ficheiro (") + pt
        + QStringLiteral(") esta vazia: a verificacao parou aqui, as linhas seguintes nao "
                         "foram verificadas");
}

namespace {

const QString kListFile = QStringLiteral("R5R6名表");
const QString kAnnexAFile = QStringLiteral("附件-A");
const QString kAnnexCFile = QStringLiteral("附件-C");

QString openErrorText()
{
    return QStringLiteral("檔案開啟錯誤\r\nErros quando abertar o ficheiro");
}

QString tooManyText()
{
    return QStringLiteral("錯誤太多,檢查結束\r\nErros demais. A verificacao e abortada");
}

// In place of the completion line when an annex file stopped at an empty
// line before its end: the list and the totals are complete, the annex is not.
QString incompleteText()
{
    return QStringLiteral("資料檢查未完成:附件檔案有記錄未經檢查\r\n"
                          "Verificacao incompleta: ha linhas do anexo que nao foram verificadas");
}

QByteArray enc(const QString &s)
{
    return big5::encode(s);
}

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

// `text` without the blanks at its ends, `mark` moved along. The ends are
// never trimmed into the marked field: a blank field that is wrong (an empty
// name, a blank period code) still shows where it is.
QByteArray trimKeepingMark(QByteArrayView text, Mark &mark)
{
    qsizetype b = 0;
    qsizetype e = text.size();
    const qsizetype ms = qBound<qsizetype>(0, qsizetype(mark.start), text.size());
    const qsizetype me = qBound<qsizetype>(ms, qsizetype(mark.start) + mark.length, text.size());
    const bool marked = me > ms;
    while (b < e && isBlank(text[b]) && (!marked || b < ms))
        ++b;
    while (e > b && isBlank(text[e - 1]) && (!marked || e > me))
        --e;
    if (marked) {
        mark.start = int(ms - b);
        mark.length = int(me - ms);
    } else {
        mark = {};
    }
    return text.sliced(b, e - b).toByteArray();
}

QByteArray padRight(QByteArray s, int n)
{
    if (s.size() < n)
        s.append(QByteArray(n - s.size(), ' '));
    return s;
}

QByteArray zeroPadded6(int n)
{
    return QByteArray::number(n).rightJustified(6, '0');
}

// After an empty line at `from`: whether any line with data follows, i.e.
// whether the empty line stood in the middle of the file.
bool dataFollows(const ExchangeLines &lines, std::size_t from)
{
    return std::any_of(lines.bytes.begin() + std::ptrdiff_t(from), lines.bytes.end(),
                       [](QByteArrayView l) { return !big5::trimmed(l).isEmpty(); });
}

} // namespace

// ------------------------------------------------------------------ report

void Report::add(QByteArrayView text, Mark mark, bool red)
{
    insert(count(), text, mark, red);
}

void Report::insert(int index, QByteArrayView text, Mark mark, bool red)
{
    index = qBound(0, index, count());
    // A text with line breaks is several lines; a mark belongs to the first.
    qsizetype from = 0;
    bool first = true;
    while (true) {
        const qsizetype at = text.indexOf(QByteArrayView("\r\n"), from);
        const qsizetype end = at < 0 ? text.size() : at;
        ReportLine l;
        l.text = text.sliced(from, end - from).toByteArray();
        l.red = red;
        if (first)
            l.mark = mark;
        m_lines.insert(index++, l);
        first = false;
        if (at < 0)
            break;
        from = at + 2;
    }
}

void Report::insertText(int index, const QString &text)
{
    insert(index, enc(text));
}

QStringList Report::plainLines() const
{
    QStringList r;
    r.reserve(count());
    for (const ReportLine &l : m_lines)
        r << big5::decode(l.text);
    return r;
}

// ------------------------------------------------------------------ check

Checker::PackedText::PackedText(QByteArrayView v)
{
    // Both columns it stands for are at most 8 bytes wide.
    Q_ASSERT(v.size() <= 8);
    size = int(qMin<qsizetype>(v.size(), 8));
    for (int i = 0; i < 8; ++i)
        bytes = (bytes << 8) | (i < size ? static_cast<unsigned char>(v[i]) : 0u);
}

void Checker::indexannex()
{
    const MemTable &sub = m_dm.sub;
    const std::size_t n = std::size_t(sub.naturalCount());
    // The runs of one number in the order of m_subOrder, and each one's sum
    // and severance item, a range of positions a thread (a run that crosses
    // into the next range is finished by the thread that started it). While
    // `stored` is asked for, the order is the stored one, and a range that
    // finds it out of number order says so.
    std::atomic<bool> inorder{true};
    const auto makeRuns = [&](bool stored) {
        std::vector<std::vector<AnnexRun>> parts(rangesfor(n, 8192));
        parallelranges(parts.size(), 1, [&](std::size_t from, std::size_t to) {
            const auto rowAt = [&](std::size_t k) { return stored ? int(k) : m_subOrder[k]; };
            const auto number = [&](std::size_t k) { return sub.rowString(rowAt(k), subcol::cntb); };
            for (std::size_t part = from; part < to && inorder.load(std::memory_order_relaxed); ++part) {
                std::size_t i = n * part / parts.size();
                const std::size_t end = n * (part + 1) / parts.size();
                // Skip the tail of a run begun in the range before.
                while (i > 0 && i < end && number(i) == number(i - 1))
                    ++i;
                if (stored && i > 0 && i < end && number(i) < number(i - 1)) {
                    inorder = false;
                    return;
                }
                std::vector<AnnexRun> &runs = parts[part];
                while (i < end) {
                    const QByteArrayView cntb = number(i);
                    AnnexRun run{PackedText(cntb), MoneySum(), false, int(i), int(i)};
                    for (; i < n && number(i) == cntb; ++i) {
                        const int row = rowAt(i);
                        run.sum += Currency::fromRaw(sub.rowInt64(row, subcol::itemval));
                        run.severance = run.severance || big5::trimmed(sub.rowString(row, subcol::itemcod)) == "105";
                    }
                    run.end = int(i);
                    if (stored && i < n && number(i) < cntb) {
                        inorder = false;
                        return;
                    }
                    runs.push_back(run);
                }
            }
        });
        m_runs.clear();
        for (const std::vector<AnnexRun> &runs : parts)
            m_runs.insert(m_runs.end(), runs.begin(), runs.end());
    };
    // Files exported by the system come ordered by number: the runs are
    // then the stored rows as they stand. Otherwise the rows are sorted by
    // number first (stable: equal numbers stay in stored order).
    m_subOrder.resize(n);
    makeRuns(true);
    if (inorder) {
        for (std::size_t i = 0; i < n; ++i)
            m_subOrder[i] = int(i);
        return;
    }
    struct Key
    {
        PackedText cntb;
        int row;
    };
    std::vector<Key> keys(n);
    parallelranges(n, 8192, [&](std::size_t from, std::size_t to) {
        for (std::size_t r = from; r < to; ++r)
            keys[r] = {PackedText(sub.rowString(int(r), subcol::cntb)), int(r)};
    });
    parallelstablesort(keys.begin(), keys.end(), [](const Key &a, const Key &b) { return a.cntb < b.cntb; });
    for (std::size_t i = 0; i < n; ++i)
        m_subOrder[i] = keys[i].row;
    inorder = true;
    makeRuns(false);
}

const Checker::AnnexRun *Checker::findrun(QByteArrayView cntb) const
{
    const PackedText key(cntb);
    const auto at = std::lower_bound(m_runs.begin(), m_runs.end(), key,
                                     [](const AnnexRun &r, const PackedText &k) { return r.cntb < k; });
    return at != m_runs.end() && at->cntb == key ? &*at : nullptr;
}

Checker::Checker(Options options) : Checker(dm56, cmpfile, std::move(options)) {}

Checker::Checker(Tdm56 &dm, TCmpFile &employer, Options options)
    : m_dm(dm), m_emp(employer), m_options(std::move(options))
{
    m_ctx.employer = &m_emp;
    m_ctx.oldlayout = &r56::oldlayout;
}

void Checker::tooMany()
{
    m_status = tooManyText();
    // One check shows it once, though each of the three files stops on it.
    if (!m_tooManyShown)
        showmsgw(caption(), QStringLiteral("\r\n") + m_status, mkContinue);
    m_tooManyShown = true;
}

void Checker::stopText(const QString &text)
{
    m_status = text;
    showmsgw(caption(), QStringLiteral("\r\n") + text, mkContinue);
    m_report.addText(text);
}

void Checker::loadItemCodes()
{
    if (m_options.itemcodes) {
        m_ctx.itemcodes = *m_options.itemcodes;
        return;
    }
    // The annex A editor's item table: the catalogue's items in use.
    const anexocat::Catalogue cat = anexocat::loadDefault();
    anexocat::report(cat);
    m_ctx.itemcodes = cat.codes();
}

Outcome Checker::check(const platform::LocalPath &file)
{
    Outcome out;
    platform::LocalPath list = file;
    QString text = file.given();
    m_status.clear();
    m_tooManyShown = false;
    m_annexStopped = false;
    m_n = 0;

    // A set of files a killed export left half-replaced in the folder is
    // finished or undone before anything in it is read: the check would
    // otherwise read the new company file against the old list.
    if (!settlefolder(list)) {
        showmsgw(caption(), QStringLiteral("\r\n") + unsettledtext(list.folder().given()), mkContinue);
        out.path = text;
        out.end = End::Unsettled;
        return out;
    }

    // A diskette of the older system holds "R56_.TXT" in place of the
    // whole-year list file.
    if (text.toUpper().contains(QLatin1String("R56_0112.TXT")) && !list.isFile()) {
        const platform::LocalPath older = list.sibling(QStringLiteral("R56_.TXT"));
        if (older.exists()) {
            text = older.given();
            list = older;
        }
    }
    out.path = text;
    r56::oldlayout = isolderlistname(text);

    if (text.contains(QLatin1Char('?')) || !list.isFile()) {
        showmsgw(caption(),
                 QStringLiteral("\r\n找不到要檢查的檔案\r\n\r\nO ficheiro para verificacao nao existe"),
                 mkContinue);
        out.end = End::NotFound;
        return out;
    }

    m_dm.staff.emptyTable();
    m_dm.sub.emptyTable();
    // The annex C items too: a set without annex C file must not show the
    // items of the file checked before it.
    m_dm.exp.emptyTable();
    m_emp.block.clear();
    m_emp.dtimport = 0;
    m_emp.dtupdate = 0;
    m_emp.dtexport = 0;

    // The companion files, found once beside the list file.
    const ExchangeSet files = checkerset(list);
    cmpname = files.company.path();
    m_report.clear();

    // checkdriver
    const bool ok = checklistfile(text, files);
    if (ok) {
        m_dm.sub.setFiltered(false);
        // Unfiltered, the rows are the stored ones; counting them this way
        // does not build the table's order only to count.
        if (m_dm.sub.naturalCount() > 0) {
            duplicateannexcodes();
            auto [c32, c36] = annexcodes();
            if (!c32.isEmpty())
                c32.prepend("(Artiog-32)");
            if (!c36.isEmpty())
                c36.prepend("(Artiog-36)");
            m_report.insert(m_codeindex + 1, enc(QStringLiteral("附件-A檢驗碼:")) + c32 + ',' + c36);
        }
        m_dm.staff.setFiltered(false);
        printsummary();
        const QString done = m_annexStopped ? incompleteText() : QStringLiteral("資料檢查完畢");
        m_report.addText(done);
        m_status = done;
        out.end = m_annexStopped ? End::Stopped : End::Completed;
    } else {
        showmsgw(caption(), stoppedMessage(m_n), mkContinue);
        m_report.addText(stoppedLine(m_n));
        out.end = End::Stopped;
    }
    out.listlines = m_n;
    out.status = m_status;
    return out;
}

bool Checker::checklistfile(const QString &text, const ExchangeSet &files)
{
    m_emp.block.clear();
    m_emp.firsthalf = 1;
    m_ctx.bothhalves = false;
    m_ctx.namebox = m_options.namebox;
    const platform::LocalPath &list = files.list;
    const QString listname = list.fileName();

    if (files.company.isFile()) {
        const CompanyFile cf = readcompanyfile(files.company);
        if (cf.status == ReadStatus::Ok)
            m_emp.block = cf.block;
        if (!cf.ok())
            showmsgw(caption(), QStringLiteral("\r\n") + openErrorText(), mkContinue);
        m_emp.firsthalf = cf.halfmark == '1' ? 1 : 0;
        m_ctx.bothhalves = cf.bothhalves;
    } else if (listname.contains(QLatin1String("1012")) || listname.contains(QLatin1String("0712"))) {
        m_emp.firsthalf = 0;
    }

    loadItemCodes();

    if (!m_emp.block.compid().isEmpty()) {
        QStringList info;
        cmpinfo(m_emp, info, false);
        for (const QString &l : info)
            m_report.addText(l);
    }
    const TDateTime today = m_options.today != 0 ? m_options.today : now();
    m_report.insertText(0, QStringLiteral("檢查檔案:") + text);
    m_report.insertText(1, QStringLiteral("檢查日期:") + formatDate(today));
    m_report.addText(QStringLiteral("檔案匯出日期:")
                 + formatDateTimeMinutes(fromQDateTime(QFileInfo(list.path()).lastModified())));
    m_report.addText(QString());

    checkannex(files.annexa, 'A');
    checkannex(files.annexc, 'C');

    m_report.addText(QStringLiteral("檢查R5R6名表的資料"));

    m_n = 0;
    ExchangeReader reader(RecordKind::List);
    if (!reader.open(list)) {
        m_status = openErrorText();
        showmsgw(caption(), QStringLiteral("\r\n") + m_status, mkContinue);
        m_report.addText(m_status);
        return false;
    }

    const QByteArray p = periodfromname(list.path());
    MemTable &staff = m_dm.staff;
    MemTable &sub = m_dm.sub;
    staff.emptyTable();
    staff.setIndexFieldNames(QStringLiteral("cntb"));
    sub.setIndexFieldNames(QStringLiteral("cntb"));
    m_codeindex = m_report.count();
    m_employerKnown = false;

    // Each worker's annex A sum and whether it has a severance item ("105"):
    // `sub` does not change during the list check, so it is indexed once
    // here instead of being searched for every worker.
    indexannex();

    const ExchangeLines lines = reader.remaininglines(false);
    const std::size_t n = lines.bytes.size();
    const auto cntbOf = [](QByteArrayView rec) {
        return rec.sliced(linefields[3].start - 1, linefields[3].length);
    };
    // Whether a record's worker enters `staff` (or is the earlier one of its
    // number): it was accepted, or its only fault is the leave date. Such a
    // record has its full length, so its fields are slices.
    const auto taken = [](std::uint32_t set) { return set == 0 || set == errmask(errbit::E151); };
    // The workers' rows by taxpayer number, and the line each row comes from.
    std::map<PackedText, int> rowOfNumber;
    std::vector<QByteArrayView> rowLines;
    bool stopped = false;
    bool emptyStop = false;
    int emptyLine = 0;
    // After record `i` (from 0): an empty one ends the list.
    const auto endsAt = [&](std::size_t i) {
        if (!lines.bytes[i].isEmpty())
            return false;
        emptyLine = lines.firstlineno + int(i);
        emptyStop = dataFollows(lines, i + 1);
        stopped = true;
        return true;
    };

    // While the records still give the employer (no company file), each
    // record's rules depend on those before it: they are checked one by one.
    std::size_t i = 0;
    for (; i < n && !m_employerKnown; ++i) {
        if (overCap()) {
            stopped = true;
            break;
        }
        const QByteArrayView line = lines.bytes[i];
        std::uint32_t set = line.isEmpty() ? errmask(errbit::E001) : 0;
        ++m_n;
        takeFromFirstRecord(line);
        checklistrecord(line, set, m_ctx);
        if (taken(set)) {
            const auto [at, isnew] = rowOfNumber.try_emplace(PackedText(cntbOf(line)), int(rowLines.size()));
            if (isnew) {
                rowLines.push_back(line);
                m_dm.setstaffrow(staff.appendRaw(), line);
            } else {
                set |= errmask(errbit::E051dup);
            }
            set |= workerchecks(line, at->second, findrun(cntbOf(line)), p, r56::oldlayout);
        }
        if (set != 0)
            printrecorderrors(m_n, line, set);
        if (m_options.progress)
            m_options.progress();
        if (endsAt(i)) {
            ++i;
            break;
        }
    }

    // The rest at once, on all cores: every record's rules, the worker of
    // each taken record (a new row for the first of its number, in file
    // order), and the checker's own tests on that worker. Then the records
    // in order on this thread, as one by one: each faulty one listed, the
    // loop ending at the report cap or an empty line, and the workers of the
    // records after that end taken out again.
    if (!stopped && i < n) {
        const std::size_t k = i;
        // The lines from k on (the whole list as a rule: a company file gave
        // the employer).
        std::vector<QByteArrayView> tail;
        if (k > 0)
            tail.assign(lines.bytes.begin() + std::ptrdiff_t(k), lines.bytes.end());
        const std::vector<QByteArrayView> &rest = k > 0 ? tail : lines.bytes;
        const std::size_t m = rest.size();
        // The old layout, once a 170-byte record switched it on, stays on
        // for the records after it (the record itself included).
        const bool oldBefore = r56::oldlayout;
        const std::size_t firstOld = std::size_t(
            std::find_if(rest.begin(), rest.end(), [](QByteArrayView l) { return l.size() == kOldListRecordLength; })
            - rest.begin());
        std::vector<std::uint32_t> sets = checklistrecords(rest, m_ctx);

        // Taken records by number (stable: file order within a number).
        struct Take
        {
            PackedText cntb;
            std::uint32_t line;
        };
        std::vector<Take> takes;
        takes.reserve(m);
        for (std::size_t j = 0; j < m; ++j) {
            if (taken(sets[j]))
                takes.push_back({PackedText(cntbOf(rest[j])), std::uint32_t(j)});
        }
        const auto byNumber = [](const Take &a, const Take &b) { return a.cntb < b.cntb; };
        if (!std::is_sorted(takes.begin(), takes.end(), byNumber))
            parallelstablesort(takes.begin(), takes.end(), byNumber);
        // rowOf[j]: the row of record j's worker (-1: not taken); a record
        // whose number came before (here or one by one above) repeats it.
        // Each number's annex run is found by walking the numbers and the
        // runs (both ascending) side by side.
        std::vector<int> rowOf(m, -1);
        std::vector<const AnnexRun *> runOf(m, nullptr);
        std::vector<char> repeat(m, 0);
        std::vector<char> starts(m, 0);
        auto run = m_runs.begin();
        for (std::size_t g = 0; g < takes.size();) {
            std::size_t e = g + 1;
            while (e < takes.size() && takes[e].cntb == takes[g].cntb)
                ++e;
            while (run != m_runs.end() && run->cntb < takes[g].cntb)
                ++run;
            const AnnexRun *annex = run != m_runs.end() && run->cntb == takes[g].cntb ? &*run : nullptr;
            for (std::size_t t = g; t < e; ++t)
                runOf[takes[t].line] = annex;
            const auto earlier = rowOfNumber.find(takes[g].cntb);
            if (earlier != rowOfNumber.end())
                rowOf[takes[g].line] = earlier->second;
            else
                starts[takes[g].line] = 1;
            for (std::size_t t = g; t < e; ++t)
                repeat[takes[t].line] = t > g || earlier != rowOfNumber.end();
            g = e;
        }
        const std::size_t rowsBefore = rowLines.size();
        for (std::size_t j = 0; j < m; ++j) {
            if (starts[j]) {
                rowOf[j] = int(rowLines.size());
                rowLines.push_back(rest[j]);
            }
        }
        for (std::size_t g = 0; g < takes.size(); ++g) {
            if (g > 0 && takes[g].cntb == takes[g - 1].cntb)
                rowOf[takes[g].line] = rowOf[takes[g - 1].line];
        }
        appendstaffrows(rowLines, rowsBefore);
        parallelranges(m, 4096, [&](std::size_t from, std::size_t to) {
            for (std::size_t j = from; j < to; ++j) {
                if (rowOf[j] < 0)
                    continue;
                if (repeat[j])
                    sets[j] |= errmask(errbit::E051dup);
                sets[j] |= workerchecks(rest[j], rowOf[j], runOf[j], p, oldBefore || firstOld <= j);
            }
        });

        std::size_t j = 0;
        std::size_t rowsTaken = rowsBefore; // rows of the records walked
        for (; j < m; ++j) {
            if (overCap()) {
                stopped = true;
                break;
            }
            const QByteArrayView line = rest[j];
            ++m_n;
            if ((sets[j] & errmask(errbit::E061)) != 0 && m_ctx.namebox) {
                // The rule once more, for the box it shows with the name.
                std::uint32_t again = 0;
                checklistrecord(line, again, m_ctx);
            } else {
                noteoldlayout(line, m_ctx);
            }
            if (starts[j])
                ++rowsTaken;
            if (sets[j] != 0)
                printrecorderrors(m_n, line, sets[j]);
            if (m_options.progress)
                m_options.progress();
            if (endsAt(k + j))
                break;
        }
        if (rowsTaken < rowLines.size()) {
            rowLines.resize(rowsTaken);
            staff.emptyTable();
            appendstaffrows(rowLines, 0);
        }
    }

    bool result = true;
    if (overCap()) {
        tooMany();
        result = false;
    } else if (emptyStop) {
        // The records after the empty line were not read: the check must not
        // end as if it had seen the whole file.
        stopText(emptyLineStopText(kListFile, emptyLine));
        result = false;
    } else {
        m_report.addText(QStringLiteral("***檢查R5R6名表的資料完畢\r\n"));
    }

    const auto [s32, s36] = staffcodes();
    m_report.insert(m_codeindex, enc(QStringLiteral("R5/R6檢驗碼(1):(Artigo 32)")) + s32
                                     + ",(Artigo 36)" + s36);
    return result;
}

bool Checker::checkannex(const platform::LocalPath &file, char kind)
{
    if (!file.isFile())
        return true;
    const bool isA = kind == 'A';
    ExchangeReader reader(RecordKind::Annex);
    if (!reader.open(file)) {
        m_status = isA ? openErrorText() + QStringLiteral("\r\n[附件－A,(Anexo - A)]")
                       : QStringLiteral("附件-C,檔案開啟錯誤");
        showmsgw(caption(), QStringLiteral("\r\n") + m_status, mkContinue);
        // The printed report says so too: it would otherwise read as if the
        // annex had been checked. None of its records was, so the check
        // does not end as complete.
        m_report.addText(m_status);
        m_annexStopped = true;
        return false;
    }
    m_report.addText(isA ? QStringLiteral("檢查附件-A的資料") : QStringLiteral("檢查附件-C的資料"));
    m_n = 0;
    if (isA) {
        m_dm.sub.emptyTable();
        m_dm.staff.setIndexFieldNames(QStringLiteral("cntb"));
    } else {
        m_dm.exp.emptyTable();
    }
    MemTable &table = isA ? m_dm.sub : m_dm.exp;

    // Every line's rule at once, on all cores; then the lines in order, as
    // one by one: each refused one listed, the loop ending at the report cap
    // or an empty line; then the accepted lines before that end become the
    // rows, in order, filled on all cores.
    const ExchangeLines lines = reader.remaininglines(false);
    const std::vector<std::uint32_t> sets = checkannexrecords(lines.bytes, kind, m_ctx);
    std::vector<std::uint32_t> accepted; // the lines that become rows
    bool result = true;
    bool emptyStop = false;
    int emptyLine = 0;
    for (std::size_t i = 0; i < lines.bytes.size() && !overCap(); ++i) {
        const QByteArrayView line = lines.bytes[i];
        if (line.isEmpty()) {
            emptyLine = lines.firstlineno + int(i);
            emptyStop = dataFollows(lines, i + 1);
            break;
        }
        ++m_n;
        if (sets[i] == 0) {
            accepted.push_back(std::uint32_t(i));
        } else {
            printrecorderrors(m_n, line, sets[i]);
            result = false;
        }
    }
    const int first = table.appendRaws(int(accepted.size()));
    parallelranges(accepted.size(), 8192, [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to; ++k) {
            // An accepted record has its full length: the fields are slices.
            const QByteArrayView rec = lines.bytes[accepted[k]];
            const int row = first + int(k);
            table.rowSetString(row, subcol::cntb, rec.sliced(annexfields[2].start - 1, annexfields[2].length));
            table.rowSetString(row, subcol::itemcod, rec.sliced(annexfields[3].start - 1, annexfields[3].length));
            if (isA) {
                const QByteArrayView amount = rec.sliced(annexfields[4].start - 1, annexfields[4].length);
                table.rowSetInt64(row, subcol::itemval, Currency::fromHundredths(str2int64(amount)).raw());
                table.rowSetInt64(row, subcol::art, 0);
            } else {
                table.rowSetInt64(row, expcol::checked, 1);
            }
        }
    });
    if (overCap()) {
        tooMany();
        return false;
    }
    if (emptyStop) {
        stopText(emptyLineStopText(isA ? kAnnexAFile : kAnnexCFile, emptyLine));
        m_annexStopped = true;
        return false;
    }
    m_report.addText(isA ? QStringLiteral("***附件-A 檢查完畢\r\n") : QStringLiteral("***附件-C 檢查完畢\r\n"));
    return result;
}

void Checker::takeFromFirstRecord(QByteArrayView line)
{
    if (m_employerKnown)
        return;
    CmpBlock &b = m_emp.block;
    if (b.compid().isEmpty()) {
        b.setCompid(big5::copy(line, 1, 8));
        m_report.add(enc(QStringLiteral("檔案編號:")) + b.compid());
    }
    if (b.eano() == 0) {
        const QByteArray year = getfield(line, 1);
        b.setEano(static_cast<std::int32_t>(str2int64(year)));
        m_report.add(enc(QStringLiteral("年度:")) + year);
    }
    if (b.periodpair().isEmpty()) {
        const QByteArray code = getfield(line, 11);
        if (code < QByteArrayView("02")) {
            b.setPeriodpair(code + "0000");
            m_report.addText(halflabel(m_emp, 1));
        } else {
            b.setPeriodpair("0000" + code);
            m_report.addText(halflabel(m_emp, 2));
        }
    }
    m_employerKnown = !b.compid().isEmpty() && b.eano() != 0 && !b.periodpair().isEmpty();
}

std::uint32_t Checker::workerchecks(QByteArrayView line, int row, const AnnexRun *annex, QByteArrayView p,
                                    bool old) const
{
    // Only reads: the records' workers are checked on several threads.
    const MemTable &staff = m_dm.staff;
    std::uint32_t set = 0;
    const QByteArrayView cntb = staff.rowString(row, staffcol::cntb);
    if (staff.rowInt64(row, staffcol::art) == 36 && chktaxno(cntb, 36) != 0)
        set |= errmask(errbit::E051);
    if (!old && line.sliced(linefields[11].start - 1, linefields[11].length) != p)
        set |= errmask(errbit::E172);
    // The cross-field tests, on the sum of the worker's items (0 without
    // any) as subtotal gives it.
    const MoneySum s = annex ? annex->sum : MoneySum();
    const Currency sub1 = Currency::fromRaw(staff.rowInt64(row, staffcol::sub1));
    const Currency rend = Currency::fromRaw(staff.rowInt64(row, staffcol::rend));
    const Currency rimp = Currency::fromRaw(staff.rowInt64(row, staffcol::rimp));
    if (s >= MoneySum() && s != sub1)
        set |= errmask(errbit::E111);
    if (sub1 > Currency() && rend < sub1)
        set |= errmask(errbit::E092);
    if (rimp > Currency() && rend <= rimp)
        set |= errmask(errbit::E093);
    if (annex && annex->severance && str2date(staff.rowString(row, staffcol::leavedate)) == 0)
        set |= errmask(errbit::E151missing);
    return set;
}

void Checker::appendstaffrows(const std::vector<QByteArrayView> &rowLines, std::size_t from)
{
    MemTable &staff = m_dm.staff;
    const int first = staff.appendRaws(int(rowLines.size() - from));
    parallelranges(rowLines.size() - from, 4096, [&](std::size_t a, std::size_t b) {
        for (std::size_t r = a; r < b; ++r)
            m_dm.setstaffrow(first + int(r), rowLines[from + r]);
    });
}

void Checker::printrecorderrors(int n, QByteArrayView line, std::uint32_t set)
{
    if (n < 1)
        return;
    const qsizetype len = line.size();
    const bool dots = len >= 59;
    for (int bit = 0; bit < kErrRecCount; ++bit) {
        if ((set & errmask(bit)) == 0)
            continue;
        QByteArray head = "Line:" + zeroPadded6(n) + ',' + enc(errecmsg(bit));
        if (bit >= 1)
            head += " (" + errecfield(line, bit) + ')';
        m_report.add(head);

        QByteArray text;
        Mark mark;
        if (bit == errbit::E001) {
            const QByteArray prefix = enc(QStringLiteral("所讀取之記錄長度為"));
            text = prefix + QByteArray::number(len).rightJustified(5, ' ')
                + enc(QStringLiteral("正確之記錄長度為(R5R6-"))
                + QByteArray::number(linefields.back().start + linefields.back().length - 1)
                + enc(QStringLiteral(")")) + enc(QStringLiteral(",(附件A-"))
                + QByteArray::number(annexfields.back().start + annexfields.back().length - 1) + ')';
            mark = {int(prefix.size()), 5};
        } else if (bit <= errbit::E061) {
            const FieldPos f = linefields[errec[bit].field];
            mark = {f.start - 1, f.length};
            if (bit == errbit::E061) {
                // As many bytes as the name has once trimmed, from its first.
                const QByteArray name = getfield(line, 5);
                qsizetype lead = 0;
                while (lead < name.size() && isBlank(name[lead]))
                    ++lead;
                const int trimmed = int(big5::trim(name).size());
                if (trimmed > 0)
                    mark = {f.start - 1 + int(lead), trimmed};
            }
            text = trimKeepingMark(big5::copy(line, 1, linefields[5].start + linefields[5].length - 1), mark);
            if (dots)
                text += "....";
        } else if (bit <= errbit::E172) {
            const FieldPos f = linefields[errec[bit].field];
            const int from = linefields[5].start; // the Portuguese name on
            mark = {f.start - from, f.length};
            const QByteArray rest = trimKeepingMark(big5::copy(line, from, len), mark);
            text = dots ? "...." + rest : rest;
            if (dots && mark.length > 0)
                mark.start += 4;
        } else if (bit == errbit::E181) {
            text = line.toByteArray();
        } else {
            const FieldPos f = annexfields[errec[bit].field];
            text = line.toByteArray();
            mark = {f.start - 1, f.length};
        }
        // A short line holds less of the field than its width.
        if (mark.start >= text.size())
            mark = {};
        else if (mark.start + mark.length > text.size())
            mark.length = int(text.size()) - mark.start;
        m_report.add(text, mark);
    }
}

namespace {

QByteArray joined(const QList<QByteArrayView> &codes)
{
    QByteArray j;
    for (const QByteArrayView c : codes) {
        if (!j.isEmpty())
            j += ',';
        j += c;
    }
    return j;
}

} // namespace

void Checker::duplicateannexcodes()
{
    MemTable &staff = m_dm.staff;
    MemTable &sub = m_dm.sub;
    // The walk goes by taxpayer number (the runs made for the list check;
    // `sub` has not changed since); both tables are left so ordered. The
    // numbers of `staff` are unique (a repeated number never enters it), so
    // a search by number finds what a key search in that order would.
    staff.setIndexFieldNames(QStringLiteral("cntb"));
    sub.setIndexFieldNames(QStringLiteral("cntb"));
    struct Worker
    {
        PackedText cntb;
        int art;
        bool listed; // the row has a number
    };
    std::vector<Worker> workers(std::size_t(staff.naturalCount()));
    parallelranges(workers.size(), 8192, [&](std::size_t from, std::size_t to) {
        for (std::size_t r = from; r < to; ++r) {
            const int row = int(r);
            workers[r] = {PackedText(staff.rowString(row, staffcol::cntb)), int(staff.rowInt64(row, staffcol::art)),
                          !staff.rowIsNull(row, staffcol::cntb)};
        }
    });
    workers.erase(std::remove_if(workers.begin(), workers.end(), [](const Worker &w) { return !w.listed; }),
                  workers.end());
    const auto byNumber = [](const Worker &a, const Worker &b) { return a.cntb < b.cntb; };
    if (!std::is_sorted(workers.begin(), workers.end(), byNumber))
        parallelstablesort(workers.begin(), workers.end(), byNumber);

    // Each listed worker's run on its own (on all cores): its rows take the
    // worker's article, and its repeated codes make its line of the text;
    // the lines are then joined in the runs' order.
    sub.changingPlacedRows();
    std::vector<QByteArray> lines(m_runs.size());
    parallelranges(m_runs.size(), 2048, [&](std::size_t from, std::size_t to) {
        auto w = std::lower_bound(workers.begin(), workers.end(), m_runs[from].cntb,
                                  [](const Worker &x, const PackedText &k) { return x.cntb < k; });
        QList<QByteArrayView> seen;
        QList<QByteArrayView> again;
        for (std::size_t k = from; k < to; ++k) {
            const AnnexRun &run = m_runs[k];
            while (w != workers.end() && w->cntb < run.cntb)
                ++w;
            if (w == workers.end() || !(w->cntb == run.cntb))
                continue;
            seen.clear();
            again.clear();
            for (int i = run.begin; i < run.end; ++i) {
                const int r = m_subOrder[std::size_t(i)];
                const QByteArrayView code = big5::trimmed(sub.rowString(r, subcol::itemcod));
                if (seen.contains(code)) {
                    if (!again.contains(code))
                        again.append(code);
                } else {
                    seen.append(code);
                }
                // Each counted row takes its worker's article.
                sub.rowSetInt64(r, subcol::art, w->art);
            }
            if (!again.isEmpty()) {
                lines[k] = sub.rowString(m_subOrder[std::size_t(run.begin)], subcol::cntb).toByteArray()
                    + ":(" + joined(again) + ')' + joined(seen) + "\r\n";
            }
        }
    });
    QByteArray text;
    for (const QByteArray &l : lines)
        text += l;
    if (!text.isEmpty()) {
        m_report.addText(QStringLiteral("發現重複的不屬課稅收益編號:"));
        m_report.add(text, {}, true);
    }
}

std::pair<QByteArray, QByteArray> Checker::staffcodes()
{
    // What staffcode() of the data module gives for articles 32 and 36 with
    // `staff` ordered by "art;nmp;cntb": the order decides the code, so it is
    // the table's own (unsigned bytes, equal keys in natural order).
    MemTable &staff = m_dm.staff;
    const std::size_t n = std::size_t(staff.naturalCount());
    const auto rowBefore = [&](int a, int b) {
        const std::int64_t artA = staff.rowInt64(a, staffcol::art), artB = staff.rowInt64(b, staffcol::art);
        if (artA != artB)
            return artA < artB;
        const QByteArrayView nmpA = staff.rowString(a, staffcol::nmp), nmpB = staff.rowString(b, staffcol::nmp);
        if (nmpA != nmpB)
            return nmpA < nmpB;
        return staff.rowString(a, staffcol::cntb) < staff.rowString(b, staffcol::cntb);
    };
    // What the code reads of each row, by row, read on all cores; and
    // whether the rows stand in the code's order already (files exported by
    // the system come so): then they are fed as they are stored.
    struct Values
    {
        std::int64_t taxno;
        std::int64_t leavedays;
        Currency rend, sub1, rimp;
        std::int32_t art;
        bool worker;
    };
    std::vector<Values> values(n);
    std::atomic<bool> stored{true};
    parallelranges(n, 4096, [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            const int r = int(i);
            const QByteArrayView cntb = staff.rowString(r, staffcol::cntb);
            values[i] = {ctrlcode::taxnoValue(cntb), ctrlcode::leaveDays(staff.rowString(r, staffcol::leavedate)),
                         Currency::fromRaw(staff.rowInt64(r, staffcol::rend)),
                         Currency::fromRaw(staff.rowInt64(r, staffcol::sub1)),
                         Currency::fromRaw(staff.rowInt64(r, staffcol::rimp)),
                         std::int32_t(staff.rowInt64(r, staffcol::art)), isworker(cntb)};
            if (i > 0 && stored.load(std::memory_order_relaxed) && rowBefore(r, r - 1))
                stored = false;
        }
    });
    std::vector<int> order; // empty: the stored order
    if (!stored) {
        // The name (40 bytes at most) packed into big-endian words compares
        // as its bytes do; a shorter name that the other begins sorts first.
        struct Key
        {
            std::int64_t art;
            std::array<std::uint64_t, 5> name;
            int nameSize;
            PackedText cntb;
            int row;
        };
        std::vector<Key> keys(n);
        parallelranges(n, 4096, [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i) {
                const int r = int(i);
                Key k{staff.rowInt64(r, staffcol::art), {}, 0, PackedText(staff.rowString(r, staffcol::cntb)), r};
                const QByteArrayView nmp = staff.rowString(r, staffcol::nmp);
                k.nameSize = int(qMin<qsizetype>(nmp.size(), 40));
                for (int b = 0; b < 40; ++b) {
                    const std::uint64_t c = b < k.nameSize ? static_cast<unsigned char>(nmp[b]) : 0u;
                    k.name[std::size_t(b / 8)] = (k.name[std::size_t(b / 8)] << 8) | c;
                }
                keys[i] = k;
            }
        });
        // Stable: equal keys stay in natural order.
        parallelstablesort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
            if (a.art != b.art)
                return a.art < b.art;
            if (a.name != b.name)
                return a.name < b.name;
            if (a.nameSize != b.nameSize)
                return a.nameSize < b.nameSize;
            return a.cntb < b.cntb;
        });
        order.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            order[i] = keys[i].row;
    }
    // The two codes are fed side by side, each on its own thread.
    ctrlcode::StaffCoder coders[2] = {ctrlcode::StaffCoder(32), ctrlcode::StaffCoder(36)};
    paralleltasks(
        [&](std::size_t c) {
            for (std::size_t i = 0; i < n; ++i) {
                const Values &v = values[order.empty() ? i : std::size_t(order[i])];
                coders[c].add(v.art, v.worker, v.taxno, v.rend, v.sub1, v.rimp, v.leavedays);
            }
        },
        2);
    staff.setIndexFieldNames(QStringLiteral("art;nmp;cntb"));
    return {coders[0].code(), coders[1].code()};
}

std::pair<QByteArray, QByteArray> Checker::annexcodes()
{
    // What annexcode() of the data module computes for each article: the
    // rows ordered by "art;cntb;itemcod" (equal keys in natural order) and
    // each article's distinct item codes ascending (at most the 36 smallest,
    // as the item list holds them). The order comes from the runs by number:
    // a run (one worker, so one article) is sorted by code on its own, on
    // all cores, and the runs are taken article by article.
    MemTable &sub = m_dm.sub;
    struct Item
    {
        PackedText code;
        std::int64_t itemval;
        int row;
    };
    std::vector<Item> items(m_subOrder.size());
    std::vector<std::int32_t> runArt(m_runs.size());
    parallelranges(m_runs.size(), 1024, [&](std::size_t from, std::size_t to) {
        for (std::size_t r = from; r < to; ++r) {
            const AnnexRun &run = m_runs[r];
            const auto begin = items.begin() + run.begin;
            const auto end = items.begin() + run.end;
            for (int i = run.begin; i < run.end; ++i) {
                const int row = m_subOrder[std::size_t(i)];
                items[std::size_t(i)] = {PackedText(sub.rowString(row, subcol::itemcod)),
                                         sub.rowInt64(row, subcol::itemval), row};
            }
            // A worker has a few items as a rule: sorted in place by
            // insertion, which keeps equal codes in stored order and needs
            // no buffer.
            const auto byCode = [](const Item &a, const Item &b) { return a.code < b.code; };
            if (end - begin > 32)
                std::stable_sort(begin, end, byCode);
            for (auto i = begin + 1; i < end && end - begin <= 32; ++i) {
                const Item it = *i;
                auto j = i;
                for (; j > begin && byCode(it, *(j - 1)); --j)
                    *j = *(j - 1);
                *j = it;
            }
            runArt[r] = std::int32_t(sub.rowInt64(begin->row, subcol::art));
        }
    });
    std::map<std::int32_t, std::vector<std::size_t>> runsOf; // by article, in number order
    for (std::size_t r = 0; r < m_runs.size(); ++r)
        runsOf[runArt[r]].push_back(r);

    using Codes = std::vector<std::pair<PackedText, int>>; // ascending, each with a row that holds it
    const auto codeLess = [](const std::pair<PackedText, int> &x, const PackedText &k) { return x.first < k; };
    auto codeOf = [&](std::int32_t art) -> QByteArray {
        const auto at = runsOf.find(art);
        if (at == runsOf.end())
            return {};
        const std::vector<std::size_t> &runs = at->second;
        // The article's items in the code's order, and the distinct codes
        // (few: those of the catalogue) gathered a range of runs a thread.
        std::vector<std::size_t> offset(runs.size() + 1, 0);
        for (std::size_t k = 0; k < runs.size(); ++k)
            offset[k + 1] = offset[k] + std::size_t(m_runs[runs[k]].end - m_runs[runs[k]].begin);
        std::vector<ctrlcode::AnnexCoder::Item> feed(offset.back());
        std::vector<Codes> found(rangesfor(runs.size(), 1024));
        parallelranges(found.size(), 1, [&](std::size_t from, std::size_t to) {
            for (std::size_t part = from; part < to; ++part) {
                Codes &distinct = found[part];
                const std::size_t r0 = runs.size() * part / found.size();
                const std::size_t r1 = runs.size() * (part + 1) / found.size();
                for (std::size_t k = r0; k < r1; ++k) {
                    for (int i = m_runs[runs[k]].begin; i < m_runs[runs[k]].end; ++i) {
                        const Item &it = items[std::size_t(i)];
                        const auto d = std::lower_bound(distinct.begin(), distinct.end(), it.code, codeLess);
                        if (d == distinct.end() || !(d->first == it.code))
                            distinct.insert(d, {it.code, it.row});
                    }
                }
            }
        });
        Codes distinct;
        for (const Codes &part : found) {
            for (const auto &c : part) {
                const auto d = std::lower_bound(distinct.begin(), distinct.end(), c.first, codeLess);
                if (d == distinct.end() || !(d->first == c.first))
                    distinct.insert(d, c);
            }
        }
        if (distinct.size() > std::size_t(ctrlcode::kMaxItems))
            distinct.resize(std::size_t(ctrlcode::kMaxItems));
        QList<QByteArray> list;
        for (const auto &[code, row] : distinct)
            list.append(sub.rowString(row, subcol::itemcod).toByteArray());
        parallelranges(runs.size(), 1024, [&](std::size_t from, std::size_t to) {
            for (std::size_t k = from; k < to; ++k) {
                std::size_t to_ = offset[k];
                for (int i = m_runs[runs[k]].begin; i < m_runs[runs[k]].end; ++i) {
                    const Item &it = items[std::size_t(i)];
                    const auto d = std::lower_bound(distinct.begin(), distinct.end(), it.code, codeLess);
                    feed[to_++] = {d != distinct.end() && d->first == it.code ? d - distinct.begin() : -1,
                                   Currency::fromRaw(it.itemval)};
                }
            }
        });
        ctrlcode::AnnexCoder coder(list);
        coder.addAll(feed);
        return coder.code();
    };
    std::pair<QByteArray, QByteArray> result{codeOf(32), codeOf(36)};
    sub.setIndexFieldNames(QStringLiteral("art;cntb;itemcod"));
    return result;
}

void Checker::printsummary()
{
    const MemTable &staff = m_dm.staff;
    // Sums do not depend on the order: the rows are read as stored, a range
    // a thread, and the ranges' sums added (money is exact).
    struct Sums
    {
        std::int64_t count[3] = {0, 0, 0};
        MoneySum rend[3], sub1[3], rimp[3]; // past a Currency's range in a large file
    };
    std::vector<Sums> parts(rangesfor(std::size_t(staff.naturalCount()), 8192));
    parallelranges(parts.size(), 1, [&](std::size_t from, std::size_t to) {
        for (std::size_t part = from; part < to; ++part) {
            Sums &p = parts[part];
            const int r0 = int(std::size_t(staff.naturalCount()) * part / parts.size());
            const int r1 = int(std::size_t(staff.naturalCount()) * (part + 1) / parts.size());
            for (int r = r0; r < r1; ++r) {
                const int col = staff.rowInt64(r, staffcol::art) == 32 ? 1 : 2;
                const Currency a = Currency::fromRaw(staff.rowInt64(r, staffcol::rend));
                const Currency s = Currency::fromRaw(staff.rowInt64(r, staffcol::sub1));
                const Currency t = Currency::fromRaw(staff.rowInt64(r, staffcol::rimp));
                p.count[col] += 1;
                for (int c : {0, col}) {
                    p.rend[c] += a;
                    p.sub1[c] += s;
                    p.rimp[c] += t;
                }
            }
        }
    });
    std::int64_t count[3] = {staff.naturalCount(), 0, 0};
    MoneySum rend[3], sub1[3], rimp[3];
    for (const Sums &p : parts) {
        for (int c = 0; c < 3; ++c) {
            if (c > 0)
                count[c] += p.count[c];
            rend[c] += p.rend[c];
            sub1[c] += p.sub1[c];
            rimp[c] += p.rimp[c];
        }
    }
    const QByteArray heads[3] = {enc(QStringLiteral("合計")), enc(QStringLiteral("屬32條例")),
                                 enc(QStringLiteral("屬36條例"))};
    struct Row
    {
        QString label;
        QByteArray v[3];
    };
    Row rows[5] = {{QString(17, QLatin1Char(' ')), {heads[0], heads[1], heads[2]}},
                   {QStringLiteral("僱員記錄數量    :"), {}},
                   {QStringLiteral("申報收益總額    :"), {}},
                   {QStringLiteral("不屬課稅收益總額:"), {}},
                   {QStringLiteral("已繳稅款總額    :"), {}}};
    for (int i = 0; i < 3; ++i) {
        rows[1].v[i] = Currency::fromUnits(count[i]).format(0, true).toLatin1();
        rows[2].v[i] = rend[i].format(2, true).toLatin1();
        rows[3].v[i] = sub1[i].format(2, true).toLatin1();
        rows[4].v[i] = rimp[i].format(2, true).toLatin1();
    }
    // Columns of 15 as a rule; a column holding a longer figure (an amount
    // of a thousand million or more) widens so that at least one blank
    // stays between it and the next.
    int width[3] = {15, 15, 15};
    for (const Row &r : rows)
        for (int i = 0; i < 3; ++i)
            width[i] = std::max(width[i], int(r.v[i].size()) + 1);
    for (const Row &r : rows) {
        QByteArray l = enc(r.label);
        for (int i = 0; i < 3; ++i)
            l += padRight(r.v[i], width[i]);
        m_report.add(l);
    }
}

} // namespace r56::checkflow

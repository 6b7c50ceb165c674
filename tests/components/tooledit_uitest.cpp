// The combo edit with its button and drop-down, and the file-name and folder
// edits built on it.
#include "components/fileutil.h"
#include "components/tooledit.h"

#include "tempdir.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace r56;

namespace {

void key(QWidget *w, int k, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, k, mods, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, k, mods, text);
    QApplication::sendEvent(w, &release);
}

void type(QWidget *w, const QString &s)
{
    for (QChar c : s)
        key(w, Qt::Key_A + (c.toUpper().unicode() - 'A'), Qt::NoModifier, QString(c));
}

void mouse(QWidget *w, QEvent::Type type, QPoint pos)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, pos, w->mapToGlobal(pos), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void clickAt(QWidget *w, QPoint pos)
{
    mouse(w, QEvent::MouseButtonPress, pos);
    mouse(w, QEvent::MouseButtonRelease, pos);
}

void clickButton(TCustomComboEdit *e) { clickAt(e->button(), {3, 3}); }

// A drop-down holding one value, which the test sets as the user's choice.
class ValuePopup : public TPopupWindow
{
public:
    explicit ValuePopup(TCustomComboEdit *e) : TPopupWindow(e) { resize(150, 80); }
    QVariant readValue() override { return value; }
    void writeValue(const QVariant &v) override
    {
        written = v;
        ++writes;
    }
    QString value;
    QVariant written;
    int writes = 0;
};

class DropEdit : public TCustomComboEdit
{
public:
    explicit DropEdit(QWidget *parent) : TCustomComboEdit(parent)
    {
        popup = new ValuePopup(this);
        setDropDown(popup);
    }
    ValuePopup *popup;
};

// A shown, active window holding the edit under test, with a default and a
// cancel button.
template <class Edit>
struct Window {
    QDialog dlg;
    Edit *edit = new Edit(&dlg);
    QPushButton *ok = new QPushButton(QStringLiteral("OK"), &dlg);
    QLineEdit *other = new QLineEdit(&dlg);
    int changes = 0, clicks = 0;
    Window()
    {
        dlg.resize(400, 200);
        edit->setGeometry(20, 20, 200, 21);
        ok->setGeometry(20, 100, 80, 25);
        ok->setDefault(true);
        other->setGeometry(20, 60, 100, 21);
        QObject::connect(edit, &TCustomComboEdit::change, [this] { ++changes; });
        QObject::connect(edit, &TCustomComboEdit::buttonClick, [this] { ++clicks; });
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        edit->setFocus();
    }
};

} // namespace

// ------------------------------------------------------------------ button

TEST(ComboEdit, FreshEditAndButtonWidths)
{
    Window<TCustomComboEdit> w;
    TCustomComboEdit *e = w.edit;
    TCustomComboEdit fresh;
    EXPECT_EQ(fresh.height(), 21);
    EXPECT_EQ(fresh.buttonWidth(), 21);
    EXPECT_TRUE(fresh.buttonHost()->isVisibleTo(&fresh));
    EXPECT_EQ(e->clickKey(), 32808);

    // The button sits inside the frame at the right end; text stops before it.
    EXPECT_EQ(e->buttonHost()->geometry().right(), e->width() - 3);
    EXPECT_GE(e->textMargins().right(), e->buttonWidth());

    e->setButtonWidth(1);
    EXPECT_FALSE(e->buttonHost()->isVisibleTo(e));
    key(e, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(w.clicks, 1) << "the click key still works with width 1";
    e->setButtonWidth(0);
    key(e, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(w.clicks, 1) << "and not with width 0";
    e->setButtonWidth(40);
    EXPECT_TRUE(e->buttonHost()->isVisibleTo(e));
    EXPECT_EQ(e->buttonHost()->width(), 40);
    e->setButtonWidth(e->width());
    EXPECT_EQ(e->buttonWidth(), 40) << "a width not below the edit's is ignored";

    clickButton(e);
    EXPECT_EQ(w.clicks, 2);
    e->setClickKey(TCustomComboEdit::shortCutOf(Qt::Key_F4, Qt::NoModifier));
    key(e, Qt::Key_Down, Qt::AltModifier);
    key(e, Qt::Key_F4);
    EXPECT_EQ(w.clicks, 3);
}

TEST(ComboEdit, HeightNeverBelowTheMinimum)
{
    Window<TCustomComboEdit> w;
    w.edit->setGeometry(20, 20, 200, 5);
    EXPECT_EQ(w.edit->height(), w.edit->minimumHeight());
    EXPECT_EQ(w.edit->button()->height(), w.edit->height() - 4);
}

TEST(ComboEdit, ReadOnlyStopsEverythingDirectInputOffOnlyTyping)
{
    Window<DropEdit> w;
    DropEdit *e = w.edit;
    e->setText(QStringLiteral("x"));
    e->setReadOnly(true);
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    e->selectAll();
    e->paste();
    e->cut();
    type(e, QStringLiteral("ab"));
    clickButton(e);
    key(e, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(e->text(), QStringLiteral("x"));
    EXPECT_EQ(w.clicks, 0);
    EXPECT_FALSE(e->isDropDownShown());

    e->setReadOnly(false);
    e->setDirectInput(false);
    e->selectAll();
    e->paste();
    type(e, QStringLiteral("ab"));
    EXPECT_EQ(e->text(), QStringLiteral("x"));
    clickButton(e);
    EXPECT_EQ(w.clicks, 1);
    ASSERT_TRUE(e->isDropDownShown());
    e->popup->value = QStringLiteral("chosen");
    key(e, Qt::Key_Return);
    EXPECT_FALSE(e->isDropDownShown());
    EXPECT_EQ(e->text(), QStringLiteral("chosen")) << "the drop-down's value still reaches the text";
    EXPECT_TRUE(e->isReadOnly()) << "typing stays refused";

    e->setDirectInput(true);
    e->setCursorPosition(int(e->text().size()));
    type(e, QStringLiteral("ab"));
    EXPECT_EQ(e->text(), QStringLiteral("chosenab"));
}

TEST(ComboEdit, EnterAndEscapeReachTheWindowsButtons)
{
    Window<TCustomComboEdit> w;
    int accepted = 0, rejected = 0;
    QObject::connect(&w.dlg, &QDialog::accepted, [&] { ++accepted; });
    QObject::connect(&w.dlg, &QDialog::rejected, [&] { ++rejected; });
    QObject::connect(w.ok, &QPushButton::clicked, &w.dlg, &QDialog::accept);
    w.edit->setText(QStringLiteral("abc"));
    key(w.edit, Qt::Key_Return);
    EXPECT_EQ(accepted, 1);
    EXPECT_EQ(w.edit->text(), QStringLiteral("abc"));
    w.dlg.show();
    QApplication::setActiveWindow(&w.dlg);
    w.edit->setFocus();
    key(w.edit, Qt::Key_Escape);
    EXPECT_EQ(rejected, 1);
}

// --------------------------------------------------------------- drop-down

TEST(ComboEdit, DropDownAcceptCancelAndClicks)
{
    Window<DropEdit> w;
    DropEdit *e = w.edit;
    ValuePopup *p = e->popup;
    e->setText(QStringLiteral("old"));
    w.changes = 0;

    // Alt+Down opens it with the text locked and the text handed over.
    key(e, Qt::Key_Down, Qt::AltModifier);
    ASSERT_TRUE(e->isDropDownShown());
    EXPECT_TRUE(p->isVisible());
    EXPECT_TRUE(e->isReadOnly());
    EXPECT_EQ(p->written.toString(), QStringLiteral("old"));
    EXPECT_TRUE(e->hasFocus()) << "the drop-down never takes the focus";
    p->value = QStringLiteral("new");
    key(e, Qt::Key_Escape);
    EXPECT_FALSE(e->isDropDownShown());
    EXPECT_FALSE(p->isVisible());
    EXPECT_EQ(e->text(), QStringLiteral("old"));
    EXPECT_FALSE(e->isReadOnly());

    key(e, Qt::Key_Down, Qt::AltModifier);
    key(e, Qt::Key_Enter);
    EXPECT_EQ(e->text(), QStringLiteral("new"));
    EXPECT_TRUE(e->isModified());
    EXPECT_EQ(w.changes, 1) << "one change notification for an accepted value";

    // A click into the edit closes it without accepting.
    p->value = QStringLiteral("other");
    key(e, Qt::Key_Down, Qt::AltModifier);
    clickAt(e, {5, 5});
    EXPECT_FALSE(e->isDropDownShown());
    EXPECT_EQ(e->text(), QStringLiteral("new"));

    // A click on the button while open accepts and does not open it again.
    clickButton(e);
    ASSERT_TRUE(e->isDropDownShown());
    clickButton(e);
    EXPECT_FALSE(e->isDropDownShown());
    EXPECT_EQ(e->text(), QStringLiteral("other"));

    // A click inside the drop-down window accepts, one outside it cancels.
    p->value = QStringLiteral("inside");
    clickButton(e);
    clickAt(p, {10, 10});
    EXPECT_EQ(e->text(), QStringLiteral("inside"));
    p->value = QStringLiteral("outside");
    clickButton(e);
    mouse(p, QEvent::MouseButtonRelease, {-5, -5});
    EXPECT_EQ(e->text(), QStringLiteral("inside"));
    EXPECT_FALSE(e->isDropDownShown());

    // An empty text hands a null value over.
    e->setText(QString());
    clickButton(e);
    EXPECT_TRUE(p->written.isNull());
    key(e, Qt::Key_Escape);
}

TEST(ComboEdit, DropDownClosesWhenTheFocusOrTheMouseGoesElsewhere)
{
    Window<DropEdit> w;
    DropEdit *e = w.edit;
    e->popup->value = QStringLiteral("v");
    clickButton(e);
    ASSERT_TRUE(e->isDropDownShown());
    w.other->setFocus();
    EXPECT_FALSE(e->isDropDownShown());
    EXPECT_TRUE(w.other->hasFocus()) << "closing does not pull the focus back";
    EXPECT_EQ(e->text(), QString());

    e->setFocus();
    clickButton(e);
    ASSERT_TRUE(e->isDropDownShown());
    clickAt(w.ok, {5, 5}); // takes the mouse
    EXPECT_FALSE(e->isDropDownShown());
    EXPECT_EQ(e->text(), QString());
}

TEST(ComboEdit, DropDownPlacementStaysOnTheScreen)
{
    const QRect screen(0, 0, 800, 600);
    const QSize popup(200, 150);
    struct Case { QRect edit; TCustomComboEdit::TPopupAlign align; QPoint origin; };
    const Case cases[] = {
        {{300, 100, 100, 21}, TCustomComboEdit::epaRight, {200, 121}}, // right edges line up
        {{300, 100, 100, 21}, TCustomComboEdit::epaLeft, {300, 121}},  // left edges line up
        {{300, 500, 100, 21}, TCustomComboEdit::epaRight, {200, 350}}, // above near the bottom
        {{50, 100, 100, 21}, TCustomComboEdit::epaRight, {50, 121}},   // shift undone at the left
        {{-30, 100, 100, 21}, TCustomComboEdit::epaRight, {0, 121}},   // never left of 0
        {{700, 100, 90, 21}, TCustomComboEdit::epaLeft, {590, 121}},   // flipped at the right
        {{790, 100, 100, 21}, TCustomComboEdit::epaLeft, {600, 121}},  // never beyond the right
    };
    for (const Case &c : cases)
        EXPECT_EQ(TCustomComboEdit::dropDownOrigin(c.edit, popup, screen, c.align), c.origin)
            << c.edit.x() << "," << c.edit.y();
}

TEST(ComboEdit, DropDownOpensWhereThePlacementSays)
{
    Window<DropEdit> w;
    DropEdit *e = w.edit;
    clickButton(e);
    const QRect editRect(e->mapToGlobal(QPoint(0, 0)), e->size());
    EXPECT_EQ(e->popup->pos(), TCustomComboEdit::dropDownOrigin(editRect, e->popup->size(),
                                                                e->screen()->geometry(),
                                                                TCustomComboEdit::epaRight));
    key(e, Qt::Key_Escape);
}

// ------------------------------------------------------------------ glyphs

TEST(ComboEdit, GlyphKinds)
{
    TCustomComboEdit e;
    e.setGlyphKind(TCustomComboEdit::gkDropDown);
    const int scroll = e.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &e);
    EXPECT_EQ(e.buttonWidth(), scroll);
    e.resize(150, 21);
    EXPECT_EQ(e.buttonWidth(), scroll);
    EXPECT_FALSE(e.glyph().isNull());

    // Three 2x2 dots three pixels apart in a 15x4 picture for a 21-pixel button.
    const QImage dots = TCustomComboEdit::makeEllipsisGlyph(21).toImage();
    ASSERT_EQ(dots.size(), QSize(15, 4));
    QString rows;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 15; ++x)
            rows += qGray(dots.pixel(x, y)) < 128 ? QLatin1Char('#') : QLatin1Char('.');
        rows += QLatin1Char('\n');
    }
    EXPECT_EQ(rows, QStringLiteral("...............\n"
                                   ".##...##...##..\n"
                                   ".##...##...##..\n"
                                   "...............\n"));
    EXPECT_EQ(TCustomComboEdit::makeEllipsisGlyph(3).size(), QSize(1, 4));

    TCustomComboEdit ell;
    ell.setGlyphKind(TCustomComboEdit::gkEllipsis);
    EXPECT_EQ(ell.glyph().size(), QSize(15, 4));
    ell.setNumGlyphs(3);
    EXPECT_EQ(ell.numGlyphs(), 1);

    // A picture of one's own makes the kind custom.
    QPixmap own(8, 8);
    own.fill(Qt::red);
    ell.setGlyph(own);
    EXPECT_EQ(ell.glyphKind(), TCustomComboEdit::gkCustom);
    ell.setNumGlyphs(2);
    EXPECT_EQ(ell.numGlyphs(), 2);

    TFilenameEdit file;
    EXPECT_EQ(file.glyphKind(), TCustomComboEdit::gkDefault);
    EXPECT_EQ(file.glyph().size(), QSize(14, 12));
    EXPECT_EQ(file.buttonWidth(), 21);
}

TEST(ComboEdit, EditMaskInTheWindowsNotation)
{
    EXPECT_EQ(TCustomComboEdit::inputMaskFromEditMask(QStringLiteral("!99/99/9999;1; ")),
              QStringLiteral("00/00/0000; "));
    EXPECT_EQ(TCustomComboEdit::inputMaskFromEditMask(QStringLiteral("!99-99;1;_"), QLatin1Char('.')),
              QStringLiteral("00-00;_"));
    EXPECT_EQ(TCustomComboEdit::inputMaskFromEditMask(QStringLiteral("00/00"), QLatin1Char('-')),
              QStringLiteral("99-99;_"));
    EXPECT_EQ(TCustomComboEdit::inputMaskFromEditMask(QString()), QString());
}

// --------------------------------------------------------------- file names

TEST(FilenameEdit, FileNameQuotesBlanksAndRefusesInvalidNames)
{
    TFilenameEdit e;
    e.setFileName(QStringLiteral("C:\\My Decl\\R56_0112.TXT"));
    EXPECT_EQ(e.text(), QStringLiteral("\"C:\\My Decl\\R56_0112.TXT\""));
    EXPECT_EQ(e.fileName(), QStringLiteral("C:\\My Decl\\R56_0112.TXT"));

    for (const char *bad : {"A:\\R56|0112.TXT", "A:\\[R56].TXT"}) {
        try {
            e.setFileName(QString::fromLatin1(bad));
            ADD_FAILURE() << "no exception for " << bad;
        } catch (const EComboEditError &err) {
            EXPECT_EQ(err.message(), QStringLiteral("Invalid file name - ") + QString::fromLatin1(bad));
        }
        EXPECT_EQ(e.fileName(), QStringLiteral("C:\\My Decl\\R56_0112.TXT")) << "text unchanged";
    }
    e.setFileName(QString());
    EXPECT_EQ(e.text(), QString());

    // A name that exists nowhere, followed by a word: the first token.
    e.setText(QStringLiteral("A:\\R56_0112.TXT extra"));
    EXPECT_EQ(e.fileName(), QStringLiteral("A:\\R56_0112.TXT"));
    e.setText(QStringLiteral("  \"\"A:\\x.txt"));
    EXPECT_EQ(e.fileName(), QStringLiteral("A:\\x.txt"));
    // A token of any length comes back whole.
    const QString longName = QStringLiteral("/") + QString(600, QLatin1Char('n'));
    e.setText(longName);
    EXPECT_EQ(e.fileName(), longName);
}

TEST(FilenameEdit, ExistingFileWithBlanksIsTakenWhole)
{
    QTemporaryDir tmp;
    const QString path = tmp.path() + QStringLiteral("/two words.txt");
    ASSERT_TRUE(r56::test::writeFile(path, "x"));
    TFilenameEdit e;
    e.setText(path);
    EXPECT_EQ(e.fileName(), path);
    EXPECT_EQ(e.longFileName(), QStringLiteral("two words.txt"));
    EXPECT_EQ(e.shortFileName(), QStringLiteral("two words.txt"));
}

namespace {
struct FileDialogCall {
    int runs = 0;
    QString initialDir, fileName, title, filter;
    QString answer;
    bool choose = true;
};
struct FileHook {
    TFilenameEdit::DialogHook old;
    explicit FileHook(FileDialogCall &c)
    {
        old = TFilenameEdit::setDialogHook([&c](TFilenameEdit &e, QString &name) {
            ++c.runs;
            c.initialDir = e.initialDir();
            c.fileName = name;
            c.title = e.dialogTitle();
            c.filter = e.filter();
            if (c.choose)
                name = c.answer;
            return c.choose;
        });
    }
    ~FileHook() { TFilenameEdit::setDialogHook(std::move(old)); }
};
} // namespace

TEST(FilenameEdit, ButtonOpensTheDialogAtTheTextsFolder)
{
    QTemporaryDir tmp;
    const QString folder = QDir::toNativeSeparators(tmp.path()) + QLatin1Char('/');
    FileDialogCall call;
    FileHook hook(call);
    Window<TFilenameEdit> w;
    TFilenameEdit *e = w.edit;
    e->setFilter(QStringLiteral("R5R6 Data|R56_????.TXT|All files (*.*)|*.*"));
    e->setDialogTitle(QStringLiteral("尋找匯入資料檔案(稅務當局提供的檔案)"));
    e->setText(folder + QStringLiteral("R56_0000.TXT"));
    call.answer = folder + QStringLiteral("new dir/R56_0112.TXT");
    clickButton(e);
    ASSERT_EQ(call.runs, 1);
    EXPECT_EQ(w.clicks, 1);
    EXPECT_EQ(call.initialDir, folder);
    EXPECT_EQ(call.fileName, folder + QStringLiteral("R56_0000.TXT"));
    EXPECT_EQ(call.title, QStringLiteral("尋找匯入資料檔案(稅務當局提供的檔案)"));
    EXPECT_EQ(e->text(), QLatin1Char('"') + call.answer + QLatin1Char('"'));
    EXPECT_EQ(e->initialDir(), folder + QStringLiteral("new dir/"));
    EXPECT_TRUE(e->hasFocus());

    // A text on a drive that is not there: the folder is not offered.
    // (Cancelled: the text stays.)
    call.choose = false;
    e->setInitialDir(QString());
    e->setText(QStringLiteral("A:\\R56_0000.TXT"));
    clickButton(e);
    EXPECT_EQ(call.initialDir, QString());
    EXPECT_EQ(call.fileName, QStringLiteral("A:\\R56_0000.TXT"));
    EXPECT_EQ(e->text(), QStringLiteral("A:\\R56_0000.TXT"));

    // The before-dialog event may change the name or stop the dialog.
    e->onBeforeDialog = [](TFileDirEdit *, QString &name, bool &action) {
        action = name != QStringLiteral("stop");
        name = QStringLiteral("/x/changed.txt");
    };
    call.choose = true;
    call.answer = QStringLiteral("/x/got.txt");
    clickButton(e);
    EXPECT_EQ(call.fileName, QStringLiteral("/x/changed.txt"));
    e->setText(QStringLiteral("stop"));
    const int runs = call.runs;
    clickButton(e);
    EXPECT_EQ(call.runs, runs);

    // The after-dialog event sees the choice and may refuse it.
    e->onBeforeDialog = nullptr;
    e->onAfterDialog = [](TFileDirEdit *, QString &name, bool &action) {
        action = !name.endsWith(QStringLiteral("bad.txt"));
    };
    e->setText(QStringLiteral("/x/kept.txt"));
    call.answer = QStringLiteral("/x/bad.txt");
    clickButton(e);
    EXPECT_EQ(e->text(), QStringLiteral("/x/kept.txt"));
}

TEST(FilenameEdit, NameFiltersMatchWithoutRegardToCase)
{
    EXPECT_EQ(TFilenameEdit::nameFiltersOf(
                  QStringLiteral("R5R6 File|R56_????.TXT;R56_.TXT|All files (*.*)|*.*")),
              (QStringList{QStringLiteral("R5R6 File (R56_????.TXT r56_????.txt R56_.TXT r56_.txt)"),
                           QStringLiteral("All files (*)")}));
}

// ---------------------------------------------------------------- folders

namespace {
struct BrowseHook {
    TBrowseFolderDlg::RunHook old;
    explicit BrowseHook(TBrowseFolderDlg::RunHook h) { old = TBrowseFolderDlg::setRunHook(std::move(h)); }
    ~BrowseHook() { TBrowseFolderDlg::setRunHook(std::move(old)); }
};
} // namespace

TEST(DirectoryEdit, ExportFolderEditStartsAtTheRootWithoutADiskette)
{
    QTemporaryDir tmp;
    QString start, text;
    BrowseHook hook([&](TBrowseFolderDlg &dlg) {
        start = dlg.folderName();
        text = dlg.dialogText();
        dlg.selectionChanged(tmp.path() + QLatin1Char('/'));
        return true;
    });
    Window<TDirectoryEdit> w;
    TDirectoryEdit *e = w.edit;
    e->setDialogKind(TDirectoryEdit::dkWin32);
    e->setDialogOptions(TDirectoryEdit::sdAllowCreate | TDirectoryEdit::sdPerformCreate);
    e->setButtonWidth(40);
    e->setButtonHint(QStringLiteral("選擇匯出位置"));
    e->setDialogText(QStringLiteral("pick"));
    e->setText(QStringLiteral("A:\\"));
    clickButton(e);
    EXPECT_EQ(start, QStringLiteral("\\"));
    EXPECT_EQ(text, QStringLiteral("pick"));
    EXPECT_EQ(e->text(), tmp.path()) << "the chosen folder, without its trailing separator";
    EXPECT_EQ(e->initialDir(), tmp.path());
    EXPECT_EQ(e->button()->toolTip(), QStringLiteral("選擇匯出位置"));

    // An empty text starts at the last folder chosen.
    e->setText(QString());
    clickButton(e);
    EXPECT_EQ(start, tmp.path());
}

TEST(DirectoryEdit, MultipleDirsAppendAndConvertEachPiece)
{
    QTemporaryDir tmp;
    ASSERT_TRUE(QDir(tmp.path()).mkpath(QStringLiteral("One/Two")));
    const QString one = tmp.path() + QStringLiteral("/One");
    QString chosen = one + QStringLiteral("/Two");
    TDirectoryEdit::DialogHook old = TDirectoryEdit::setDialogHook([&](TDirectoryEdit &, QString &f) {
        f = chosen;
        return true;
    });
    Window<TDirectoryEdit> w;
    TDirectoryEdit *e = w.edit;
    e->setMultipleDirs(true);
    e->setText(one);
    e->setCursorPosition(int(e->text().size()));
    clickButton(e);
    EXPECT_EQ(e->text(), one + QLatin1Char(';') + chosen);

    e->setText(tmp.path() + QStringLiteral("/ONE;;") + tmp.path() + QStringLiteral("/one/TWO"));
    EXPECT_EQ(e->longFileName(), one + QLatin1Char(';') + chosen);
    e->setMultipleDirs(false);
    e->setText(tmp.path() + QStringLiteral("/ONE"));
    EXPECT_EQ(e->shortFileName(), one);

    // Without multiple folders the choice replaces the text.
    clickButton(e);
    EXPECT_EQ(e->text(), chosen);
    TDirectoryEdit::setDialogHook(std::move(old));
}

// ------------------------------------------------------------------ drops

namespace {
// The drop handler as the window system calls it once a drag is over the edit.
template <class Edit>
struct Droppable : Edit {
    using Edit::dropEvent;
};

template <class Edit>
void dropOn(Droppable<Edit> *w, const QStringList &files)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString &f : files)
        urls << QUrl::fromLocalFile(f);
    mime.setUrls(urls);
    QDropEvent e(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    w->dropEvent(&e);
}
} // namespace

TEST(FileDirEdit, DroppedFiles)
{
    QTemporaryDir tmp;
    QStringList files;
    for (const char *n : {"a.txt", "b.txt", "c.txt"}) {
        files << tmp.path() + QLatin1Char('/') + QLatin1String(n);
        ASSERT_TRUE(r56::test::writeFile(files.last(), "x"));
    }
    Droppable<TFilenameEdit> file;
    int drops = 0;
    QObject::connect(&file, &TFileDirEdit::dropFiles, [&] { ++drops; });
    dropOn(&file, files);
    EXPECT_EQ(file.text(), QString()) << "not accepted unless AcceptFiles";
    EXPECT_EQ(drops, 0);

    file.setAcceptFiles(true);
    dropOn(&file, files);
    EXPECT_EQ(file.fileName(), files.at(0)) << "only the first without multiple names";
    EXPECT_EQ(drops, 1);

    file.setDialogOptions(TFilenameEdit::ofAllowMultiSelect);
    dropOn(&file, files);
    EXPECT_EQ(file.fileName(), files.at(0));
    EXPECT_EQ(file.files(), files);

    // A dropped name the edit refuses is passed over.
    file.setDialogOptions({});
    file.takeDroppedFiles({QStringLiteral("/x/a|b.txt"), files.at(1)});
    EXPECT_EQ(file.fileName(), files.at(0));

    Droppable<TDirectoryEdit> dir;
    dir.setAcceptFiles(true);
    dir.setMultipleDirs(true);
    dropOn(&dir, {files.at(0), tmp.path()});
    EXPECT_EQ(dir.text(), tmp.path() + QStringLiteral("/;") + tmp.path())
        << "a file gives its folder";
}

// ------------------------------------------------------------ folder browser

TEST(BrowseFolderDlg, SelectionOkAndCancel)
{
    QTemporaryDir tmp;
    const QString file = tmp.path() + QStringLiteral("/f.txt");
    ASSERT_TRUE(r56::test::writeFile(file, "x"));
    TBrowseFolderDlg dlg;
    int changes = 0;
    QObject::connect(&dlg, &TBrowseFolderDlg::selChanged, [&] { ++changes; });

    // A start folder that does not exist: the default selection, OK off.
    dlg.setFolderName(tmp.path() + QStringLiteral("/none"));
    bool okAtStart = true;
    QString startSel = QStringLiteral("?");
    {
        BrowseHook hook([&](TBrowseFolderDlg &d) {
            okAtStart = d.okEnabled();
            startSel = d.startSelection();
            d.selectionChanged(file); // no folder
            EXPECT_FALSE(d.okEnabled());
            d.selectionChanged(QString()); // no file-system item
            EXPECT_FALSE(d.okEnabled());
            EXPECT_EQ(d.folderName(), QString());
            d.selectionChanged(tmp.path() + QLatin1Char('/'));
            EXPECT_TRUE(d.okEnabled());
            return false;
        });
        EXPECT_FALSE(dlg.Execute());
    }
    EXPECT_FALSE(okAtStart);
    EXPECT_EQ(startSel, QString());
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(dlg.folderName(), tmp.path()) << "the last selection seen while it ran";

    // ChooseFolder changes its variable only on OK.
    QString var = QStringLiteral("/kept");
    {
        BrowseHook hook([&](TBrowseFolderDlg &d) {
            d.selectionChanged(tmp.path());
            return false;
        });
        EXPECT_FALSE(ChooseFolder(var, QString()));
    }
    EXPECT_EQ(var, QStringLiteral("/kept"));
    {
        // OK while a file is selected chooses nothing.
        BrowseHook hook([&](TBrowseFolderDlg &d) {
            d.selectionChanged(file);
            return true;
        });
        EXPECT_FALSE(ChooseFolder(var, QString()));
    }
    var = tmp.path();
    {
        BrowseHook hook([&](TBrowseFolderDlg &d) {
            EXPECT_EQ(d.startSelection(), tmp.path());
            return true; // OK on the start selection
        });
        EXPECT_TRUE(ChooseFolder(var, QString()));
    }
    EXPECT_EQ(var, tmp.path());
}

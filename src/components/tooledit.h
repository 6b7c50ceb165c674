#pragma once
// Edits with an embedded button, the base of the file-name, folder, date and
// currency edits.
//
// TCustomComboEdit is a single-line edit with a small TEditButton at its
// right end and, for subclasses that have one, a drop-down window
// (TPopupWindow) that opens under the edit. A click on the button, or the
// click key (Alt+Down unless set otherwise), runs doButtonClick(): the base
// fires buttonClick() and opens or closes the drop-down; the subclasses add
// their dialog. ReadOnly stops the button, the click key and typing;
// DirectInput off stops only typing, so the text then changes only through
// the button, its dialog or the drop-down.
//
// The drop-down never takes the focus from the edit: Enter accepts it, Escape
// cancels it, a click into the edit or anywhere else cancels it, a click on
// the button accepts it.
//
// TFileDirEdit, TFilenameEdit and TDirectoryEdit hold a path: the file
// checker's and the import window's file edits, the export window's target
// folder edit. Their dialogs run through overridable hooks so that tests
// never wait on one.
#include "components/kitctrls.h"

#include <QFlags>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <stdexcept>

class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;

namespace r56 {

class TCustomComboEdit;

// Misuse of the combo edits ("Invalid file name - %s").
class EComboEditError : public std::runtime_error
{
public:
    explicit EComboEditError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

// The button inside a combo edit. A press while the drop-down is open accepts
// and closes it, and the click that follows does not open it again.
class TEditButton : public TKitSpeedButton
{
    Q_OBJECT
public:
    TEditButton(TCustomComboEdit *edit, QWidget *parent);
    bool skipNextClick() const { return m_skipNextClick; }

signals:
    // The click that reaches the edit (not one swallowed after closing).
    void embeddedClick();

protected:
    void paintEvent(QPaintEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;

private:
    TCustomComboEdit *m_edit;
    bool m_skipNextClick = false;
};

// The window that drops down under a combo edit. Subclasses hold the chooser
// (a calendar, a list) and give and take the value.
class TPopupWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TPopupWindow(TCustomComboEdit *ownerEdit);

    TCustomComboEdit *ownerEdit() const { return m_ownerEdit; }

    // Set by the owning edit to its closeDropDown.
    std::function<void(TPopupWindow *sender, bool accept)> onDropDownClose;

    virtual QVariant readValue() = 0;
    virtual void writeValue(const QVariant &value) = 0;
    virtual void closeWindow(bool accept);
    virtual QString displayText() const { return {}; }

    void showAt(const QPoint &origin);
    void hideWindow();

protected:
    void mouseReleaseEvent(QMouseEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

private:
    TCustomComboEdit *m_ownerEdit;
};

class TCustomComboEdit : public QLineEdit
{
    Q_OBJECT
public:
    enum TGlyphKind { gkCustom, gkDefault, gkDropDown, gkEllipsis };
    enum TPopupAlign { epaRight, epaLeft };

    // Shortcuts as the windows store them: virtual key in the low byte,
    // 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt. 32808 is Alt+Down.
    static constexpr int DefaultClickKey = 0x8000 | 0x28;
    static int shortCutOf(int qtKey, Qt::KeyboardModifiers mods);

    explicit TCustomComboEdit(QWidget *parent = nullptr);
    ~TCustomComboEdit() override;

    TEditButton *button() const { return m_button; }
    QWidget *buttonHost() const { return m_buttonHost; }

    int buttonWidth() const;
    void setButtonWidth(int width);
    QString buttonHint() const;
    void setButtonHint(const QString &hint);
    int clickKey() const { return m_clickKey; }
    void setClickKey(int shortCut) { m_clickKey = shortCut; }
    bool directInput() const { return m_directInput; }
    void setDirectInput(bool on);
    // The component's read-only state (the edit control underneath is also
    // read-only without direct input and while a drop-down locks the text:
    // that is QLineEdit::isReadOnly()).
    virtual bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool on);
    // QLineEdit's own paste() and cut() pass over the read-only state; these
    // do nothing unless the text may be typed.
    void paste();
    void cut();

    bool autoSelect() const { return m_autoSelect; }
    void setAutoSelect(bool on) { m_autoSelect = on; }
    // Qt::AlignLeft, Qt::AlignRight or Qt::AlignHCenter.
    Qt::Alignment textAlignment() const { return m_textAlignment; }
    void setTextAlignment(Qt::Alignment a);
    TPopupAlign popupAlign() const { return m_popupAlign; }
    void setPopupAlign(TPopupAlign a) { m_popupAlign = a; }

    TGlyphKind glyphKind() const { return m_glyphKind; }
    void setGlyphKind(TGlyphKind kind);
    QPixmap glyph() const;
    void setGlyph(const QPixmap &glyph);
    int numGlyphs() const;
    void setNumGlyphs(int n);

    // The mask in the windows' notation ("!99/99/9999;1; "): "0" a digit that
    // must be given, "9" one that may, "L"/"l" letters, "A"/"a" letters or
    // digits, "C"/"c" any character, "/" the date separator; after ";" whether
    // literals stay in the text (always here) and the blank character.
    QString editMask() const { return m_editMask; }
    void setEditMask(const QString &mask);
    static QString inputMaskFromEditMask(const QString &mask, QChar dateSeparator = QLatin1Char('/'));

    int textLineHeight() const;
    int minimumHeight() const;

    TPopupWindow *dropDown() const { return m_dropDown; }
    bool isDropDownShown() const { return m_dropDown && m_dropDownShown; }
    void syncDropDownShown();
    void closeDropDown(bool accept);
    void selectAllText();
    // Raises change() directly.
    void fireChange() { emit change(); }
    // Where text starts inside the edit (left margin, top margin).
    QPoint textMarginsPoint() const;

    // Where a drop-down of `popup` size opens for an edit at `edit` (screen
    // coordinates) on `screen`: under the edit, above it when it would leave
    // the screen, aligned by `align` and kept within the screen's width.
    static QPoint dropDownOrigin(const QRect &edit, const QSize &popup, const QRect &screen,
                                 TPopupAlign align);

    // The three-dot picture of gkEllipsis for a button `buttonWidth` wide.
    static QPixmap makeEllipsisGlyph(int buttonWidth);

signals:
    // The button was clicked (or the click key pressed).
    void buttonClick();
    // The text changed (not while an open drop-down changes it).
    void change();
    // Leaving the edit was refused (a value the edit cannot take); the edit
    // has the focus back.
    void exitRefused(const QString &message);

protected:
    // Refuses leaving the edit: once the focus change is over, the edit takes
    // the focus back with its text selected and reports `message` through
    // exitRefused(), or through the plain message box when nobody listens.
    void refuseExit(const QString &message);

    virtual QPixmap defaultGlyphBitmap(bool &freeAfterUse);
    virtual void showDropDown(bool lockText);
    virtual void showDropDownAt(const QPoint &origin);
    virtual void hideDropDown();
    virtual bool canAcceptDropDownValue(QVariant &value);
    virtual void storeDropDownValue(const QVariant &value);
    virtual void writeDropDownValue(const QVariant &value);
    virtual QVariant readDropDownValue();
    virtual void dropDownChanged() {}
    // Every change of the text: an open drop-down hears of it, otherwise
    // change() fires. The numeric and date edits filter their own rewrites.
    virtual void changeNotification();
    virtual void doButtonClick();
    // Whether the text may be changed by the component itself.
    virtual bool editCanModify() const { return !readOnly(); }

    // Subclasses create their drop-down with the edit (it lives as long).
    void setDropDown(TPopupWindow *popup);
    void embeddedButtonClick();
    void rebuildGlyph();
    // Paints `text` with `alignment` in place of the edit's own painting
    // (the numeric edit shows its formatted value while it has no focus).
    // False, painting nothing, when `standardPaint` is set.
    bool paintUnfocusedText(const QString &text, Qt::Alignment alignment, bool standardPaint);

    int m_defaultNumGlyphs = 1;
    bool m_hasFocus = false;

    void resizeEvent(QResizeEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void changeEvent(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class TEditButton;
    void placeButton();
    void limitTextRect();
    void applyReadOnly();
    bool ownsWidget(QObject *o) const;

    QWidget *m_buttonHost = nullptr;
    TEditButton *m_button = nullptr;
    QPointer<TPopupWindow> m_dropDown;
    int m_clickKey = DefaultClickKey;
    bool m_readOnly = false;
    bool m_directInput = true;
    bool m_textLocked = false;
    bool m_autoSelect = true;
    bool m_dropDownShown = false;
    bool m_losingFocus = false;
    Qt::Alignment m_textAlignment = Qt::AlignLeft;
    TPopupAlign m_popupAlign = epaRight;
    TGlyphKind m_glyphKind = gkCustom;
    QString m_editMask;
};

// The name a text stands for: the text itself when a file of that name
// exists, else its first token (a double-quoted run keeps its blanks and
// loses its quotes, "C:\x.txt other" gives "C:\x.txt").
QString ClipName(const QString &s);
// A name with a blank, not already quoted, enclosed in double quotes.
QString QuoteBlanks(const QString &s);

class TFileDirEdit : public TCustomComboEdit
{
    Q_OBJECT
public:
    // (sender, name, action): the name the dialog starts with or returned,
    // and whether it runs or was confirmed; both may be changed.
    using DialogEvent = std::function<void(TFileDirEdit *sender, QString &name, bool &action)>;

    explicit TFileDirEdit(QWidget *parent = nullptr);

    bool acceptFiles() const { return m_acceptFiles; }
    void setAcceptFiles(bool on);

    DialogEvent onBeforeDialog;
    DialogEvent onAfterDialog;

    virtual QString longFileName() const = 0;
    virtual QString shortFileName() const = 0;

    // Takes names dropped on the edit: all of them with multiple names, else
    // only the first; then dropFiles() fires.
    void takeDroppedFiles(const QStringList &names);

signals:
    void dropFiles();

protected:
    virtual void takeDroppedName(const QString &name) = 0;
    virtual void clearNameList() {}
    virtual void beforeDialog(QString &name, bool &action);
    virtual void afterDialog(QString &name, bool &action);
    QPixmap defaultGlyphBitmap(bool &freeAfterUse) override;
    void addFolderToText(const QString &folder);

    bool m_multipleNames = false;

    void dragEnterEvent(QDragEnterEvent *e) override;
    void dragMoveEvent(QDragMoveEvent *e) override;
    void dropEvent(QDropEvent *e) override;

private:
    // Accepts or refuses a drag that carries local files; false when it
    // carries none (the edit's own text drag).
    bool answerFileDrag(QDragMoveEvent *e) const;

    bool m_acceptFiles = false;
};

class TFilenameEdit : public TFileDirEdit
{
    Q_OBJECT
public:
    enum TFileDialogKind { dkOpen, dkSave, dkOpenPicture, dkSavePicture };
    enum TFileEditStyle { fsEdit, fsComboBox };
    enum TOpenOption {
        ofReadOnly = 1 << 0, ofOverwritePrompt = 1 << 1, ofHideReadOnly = 1 << 2,
        ofNoChangeDir = 1 << 3, ofShowHelp = 1 << 4, ofNoValidate = 1 << 5,
        ofAllowMultiSelect = 1 << 6, ofExtensionDifferent = 1 << 7, ofPathMustExist = 1 << 8,
        ofFileMustExist = 1 << 9, ofCreatePrompt = 1 << 10, ofShareAware = 1 << 11,
        ofNoReadOnlyReturn = 1 << 12, ofNoTestFileCreate = 1 << 13
    };
    Q_DECLARE_FLAGS(TOpenOptions, TOpenOption)

    // Runs in place of the file dialog (tests): `fileName` holds the dialog's
    // file name on entry and the chosen name on return; true when chosen.
    // The edit gives the dialog's other settings (initialDir(), filter(), ...).
    using DialogHook = std::function<bool(TFilenameEdit &edit, QString &fileName)>;
    static DialogHook setDialogHook(DialogHook hook);

    explicit TFilenameEdit(QWidget *parent = nullptr);

    // The name the text stands for; setting it checks the name and quotes
    // one with a blank. Raises EComboEditError "Invalid file name - %s".
    QString fileName() const;
    void setFileName(const QString &name);

    TFileDialogKind dialogKind() const { return m_dialogKind; }
    void setDialogKind(TFileDialogKind kind) { m_dialogKind = kind; }
    QString defaultExt() const { return m_defaultExt; }
    void setDefaultExt(const QString &ext) { m_defaultExt = ext; }
    TFileEditStyle fileEditStyle() const { return m_fileEditStyle; }
    void setFileEditStyle(TFileEditStyle s) { m_fileEditStyle = s; }
    // "Description|pattern;pattern|Description|pattern".
    QString filter() const { return m_filter; }
    void setFilter(const QString &f) { m_filter = f; }
    int filterIndex() const { return m_filterIndex; }
    void setFilterIndex(int i) { m_filterIndex = i; }
    QString initialDir() const { return m_initialDir; }
    void setInitialDir(const QString &d) { m_initialDir = d; }
    QStringList historyList() const { return m_historyList; }
    void setHistoryList(const QStringList &l) { m_historyList = l; }
    TOpenOptions dialogOptions() const { return m_options; }
    void setDialogOptions(TOpenOptions options);
    QString dialogTitle() const { return m_title; }
    void setDialogTitle(const QString &t) { m_title = t; }
    // The dialog's own file name and, with multiple selection, its file list.
    QString dialogFileName() const { return m_dialogFileName; }
    QStringList files() const { return m_files; }

    QString longFileName() const override;
    QString shortFileName() const override;

    // "R5R6 File|R56_????.TXT|All files (*.*)|*.*" as the file dialog's name
    // filters; patterns match without regard to case.
    static QStringList nameFiltersOf(const QString &filter);

protected:
    void doButtonClick() override;
    void takeDroppedName(const QString &name) override;
    void clearNameList() override { m_files.clear(); }
    // The dialog itself; true when the user chose, `fileName` then the name.
    virtual bool executeDialog(QString &fileName);

private:
    TFileDialogKind m_dialogKind = dkOpen;
    QString m_defaultExt;
    TFileEditStyle m_fileEditStyle = fsEdit;
    QString m_filter = QStringLiteral("All files (*.*)|*.*");
    int m_filterIndex = 1;
    QString m_initialDir;
    QStringList m_historyList;
    TOpenOptions m_options = ofHideReadOnly;
    QString m_title = QStringLiteral("Browse");
    QString m_dialogFileName;
    QStringList m_files;
};

class TDirectoryEdit : public TFileDirEdit
{
    Q_OBJECT
public:
    enum TSelectDirOpt { sdAllowCreate = 1 << 0, sdPerformCreate = 1 << 1, sdPrompt = 1 << 2 };
    Q_DECLARE_FLAGS(TSelectDirOpts, TSelectDirOpt)
    // dkWin32: the folder browser (TBrowseFolderDlg through ChooseFolder);
    // dkFramework: a plain folder dialog honouring the create options.
    enum TDirDialogKind { dkFramework, dkWin32 };

    // Runs in place of the plain folder dialog of dkFramework (tests); the
    // folder browser of dkWin32 has its own hook (TBrowseFolderDlg).
    using DialogHook = std::function<bool(TDirectoryEdit &edit, QString &folder)>;
    static DialogHook setDialogHook(DialogHook hook);

    explicit TDirectoryEdit(QWidget *parent = nullptr);

    TSelectDirOpts dialogOptions() const { return m_options; }
    void setDialogOptions(TSelectDirOpts o) { m_options = o; }
    QString initialDir() const { return m_initialDir; }
    void setInitialDir(const QString &d) { m_initialDir = d; }
    QString dialogText() const { return m_dialogText; }
    void setDialogText(const QString &t) { m_dialogText = t; }
    TDirDialogKind dialogKind() const { return m_dialogKind; }
    void setDialogKind(TDirDialogKind k) { m_dialogKind = k; }
    // Several folders in the text, separated by ";".
    bool multipleDirs() const { return m_multipleNames; }
    void setMultipleDirs(bool on) { m_multipleNames = on; }

    QString longFileName() const override;
    QString shortFileName() const override;

protected:
    void doButtonClick() override;
    void takeDroppedName(const QString &name) override;
    virtual bool executeFrameworkDialog(QString &folder);

private:
    QString convertedText(QString (*convert)(const QString &)) const;

    TSelectDirOpts m_options;
    QString m_initialDir;
    QString m_dialogText;
    TDirDialogKind m_dialogKind = dkFramework;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TFilenameEdit::TOpenOptions)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDirectoryEdit::TSelectDirOpts)

} // namespace r56

#include "workbench/anexo.h"
#include "platform/fonts.h"

#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "shared/big5.h"
#include "shared/r5r6data.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidget>

namespace r56 {

Tfanexo *fanexo = nullptr;

namespace {

constexpr int kInfoHeight = 77;
constexpr int kNoteHeight = 92;
constexpr int kTotalHeight = 28;
constexpr int kButtonHeight = 40;
const QColor kGridColor(255, 255, 128);
const QColor kFixedColor(240, 250, 255);
const QColor kUsedColor(166, 203, 240);

QFont ming(int px) { return platform::mingFont(px); }

QFont arialBold()
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(10);
    f.setBold(true);
    return f;
}

// The amount cell's editor: only Backspace, Tab, Enter, "." and digits reach
// it; other characters are swallowed (cursor keys still move).
class AmountEdit : public QLineEdit
{
public:
    using QLineEdit::QLineEdit;

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        const QString t = e->text();
        if (t.size() == 1 && !anexoflow::keyAccepted(t.at(0)) && t.at(0) != QChar(27)) {
            e->accept();
            return;
        }
        QLineEdit::keyPressEvent(e);
    }
};

// Draws the three columns as the design does and hands typed amounts to the
// editor's state.
class GridDelegate : public QStyledItemDelegate
{
public:
    GridDelegate(Tfanexo *form, const anexoflow::AnnexState &state)
        : QStyledItemDelegate(form), m_form(form), m_state(state)
    {
    }

    void paint(QPainter *p, const QStyleOptionViewItem &opt, const QModelIndex &idx) const override
    {
        const int row = idx.row();
        if (row < 0 || row >= m_state.rowCount())
            return;
        const QRect r = opt.rect;
        p->save();
        p->setPen(Qt::black);
        switch (idx.column()) {
        case 0:
            p->fillRect(r, kFixedColor);
            p->setFont(arialBold());
            p->drawText(r.adjusted(5, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                        big5::decode(m_state.item(row).code));
            break;
        case 1: {
            p->fillRect(r, m_state.amount(row).isZero() ? QColor(Qt::white) : kUsedColor);
            QFont f(QStringLiteral("細明體"));
            f.setPointSize(11);
            p->setFont(f);
            int y = r.top() + 2;
            for (const QByteArray &l : m_state.item(row).description) {
                p->drawText(QRect(r.left() + 2, y, r.width() - 4, 16),
                            Qt::AlignLeft | Qt::AlignVCenter, big5::decode(l));
                y += 16;
            }
            break;
        }
        default:
            p->fillRect(r, (opt.state & QStyle::State_Selected) ? kUsedColor : kGridColor);
            p->setFont(arialBold());
            p->drawText(r.adjusted(0, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter,
                        anexoflow::cellText(m_state.amount(row)));
            break;
        }
        p->setPen(QColor(128, 128, 128));
        p->drawLine(r.bottomLeft(), r.bottomRight());
        p->drawLine(r.topRight(), r.bottomRight());
        p->restore();
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &,
                          const QModelIndex &idx) const override
    {
        if (idx.column() != 2 || idx.row() >= m_state.rowCount())
            return nullptr;
        auto *e = new AmountEdit(parent);
        e->setFont(arialBold());
        e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        e->setFrame(false);
        return e;
    }
    void setEditorData(QWidget *editor, const QModelIndex &idx) const override
    {
        static_cast<QLineEdit *>(editor)->setText(m_state.editText(idx.row()));
    }
    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &idx) const override
    {
        // The message of a bad amount takes the focus from the editor, which
        // would hand the same text back once more.
        if (m_busy)
            return;
        m_busy = true;
        m_form->gaxSetEditText(idx.row(), static_cast<QLineEdit *>(editor)->text());
        m_busy = false;
    }

private:
    Tfanexo *m_form;
    const anexoflow::AnnexState &m_state;
    mutable bool m_busy = false;
};

QPlainTextEdit *memo(QWidget *parent)
{
    auto *m = new QPlainTextEdit(parent);
    m->setReadOnly(true);
    m->setFrameShape(QFrame::Panel);
    m->setFrameShadow(QFrame::Sunken);
    return m;
}

} // namespace

Tfanexo::Tfanexo(QWidget *parent)
    : Tfanexo(anexocat::loadDefault(), parent)
{
    anexocat::report(m_state.catalogue());
}

Tfanexo::Tfanexo(anexocat::Catalogue catalogue, QWidget *parent)
    : platform::TForm(parent), emptotal(m_state.emptotal), m_state(std::move(catalogue))
{
    fanexo = this;
    build();
    fillGrid();
}

Tfanexo::~Tfanexo()
{
    if (fanexo == this)
        fanexo = nullptr;
}

void Tfanexo::build()
{
    setObjectName(QStringLiteral("fanexo"));
    setFont(ming(13));
    setCaption(QStringLiteral("Anexo-A"));
    setSystemMenu(false);
    kittitle = new TKitGradientCaption(this);
    kittitle->setFormCaption(
        QStringLiteral("附件A- 不屬課稅收益 ( ANEXO A-  RENDIMENTO NAO COLECTAVEL )"));
    kittitle->setWindowCaptionStyle(Qt::white, QStringLiteral("新細明體"), QColor(0, 0, 128));
    setEscapeCloses(true);

    QWidget *c = client();
    info = memo(c);
    info->setObjectName(QStringLiteral("info"));
    QPalette ip = info->palette();
    ip.setColor(QPalette::Base, ip.color(QPalette::Button));
    info->setPalette(ip);

    gax = new QTableWidget(c);
    gax->setObjectName(QStringLiteral("gax"));
    gax->setColumnCount(3);
    gax->horizontalHeader()->hide();
    gax->verticalHeader()->hide();
    gax->setSelectionMode(QAbstractItemView::SingleSelection);
    gax->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::AnyKeyPressed
                         | QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked);
    gax->setShowGrid(false);
    gax->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    gax->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    gax->setColumnWidth(0, 40);
    gax->setColumnWidth(1, 430);
    gax->setColumnWidth(2, 130);
    gax->setItemDelegate(new GridDelegate(this, m_state));
    // Only the amount column takes the cursor.
    connect(gax, &QTableWidget::currentCellChanged, this, [this](int row, int col, int, int) {
        if (row >= 0 && col != 2)
            gax->setCurrentCell(row, 2);
    });

    Memo1 = memo(c);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    QPalette mp = Memo1->palette();
    mp.setColor(QPalette::Base, QColor(128, 0, 0));
    mp.setColor(QPalette::Text, Qt::yellow);
    Memo1->setPalette(mp);
    Memo1->setFont(ming(12));
    // Six lines, each as the design breaks them.
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QString fw(QChar(0x3000));
    Memo1->setPlainText(
        QStringLiteral("(a)上限至為公共行政機關公務員及服務人員所訂定的限額。\n") + fw
        + QStringLiteral("Ate aos limites dos quantitativos fixados para os funcionarios ou agentes da \n")
        + fw + QStringLiteral("Administracao Publica.\n")
        + QStringLiteral("(b)按法定或合約規定之給付，有關款項須在相關的稅務年度終結前報銷。\n") + fw
        + QStringLiteral("Verbas concedidas, quando legal ou contratualmente previstas, de que se tenha prestado \n")
        + fw + QStringLiteral("contas ate ao termo do ano fiscalmente relevante."));

    Label1 = new TKitLabel(QStringLiteral("總金額 ( VALOR TOTAL )"), c);
    Label1->setObjectName(QStringLiteral("Label1"));
    TTLVAL = new QLabel(anexoflow::totalTextOnLoad(Currency()), c);
    TTLVAL->setObjectName(QStringLiteral("TTLVAL"));
    TTLVAL->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TTLVAL->setFont(arialBold());
    TTLVAL->setFrameShape(QFrame::Panel);
    TTLVAL->setFrameShadow(QFrame::Sunken);

    btok = new TKitSpeedButton(c);
    btok->setObjectName(QStringLiteral("btok"));
    btok->setText(QStringLiteral("確定(Confirmar)"));
    connect(btok, &TKitSpeedButton::clicked, this, &Tfanexo::btokClick);
    BitBtn2 = new TKitSpeedButton(c);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setText(QStringLiteral("取消(Cancelar)"));
    BitBtn2->setModalResult(platform::mrCancel);

    setClientSize(kOuterWidth, kOuterHeight - TKitGradientCaption::kHeight);
    layoutClient();
}

void Tfanexo::fillGrid()
{
    const int n = m_state.rowCount();
    gax->setRowCount(n);
    for (int i = 0; i < n; ++i) {
        for (int col = 0; col < 3; ++col) {
            auto *it = new QTableWidgetItem;
            if (col != 2)
                it->setFlags(Qt::ItemIsEnabled);
            gax->setItem(i, col, it);
        }
        gax->setRowHeight(i, m_state.item(i).rowHeight());
    }
}

void Tfanexo::setOuterHeight(int height)
{
    setClientSize(kOuterWidth, qMax(height - TKitGradientCaption::kHeight, 200));
    layoutClient();
}

void Tfanexo::resizeEvent(QResizeEvent *e)
{
    platform::TForm::resizeEvent(e);
    layoutClient();
}

void Tfanexo::layoutClient()
{
    if (!gax)
        return;
    const QSize cs = clientSize();
    const int w = cs.width();
    // The worker's heading and the note show every line whole (the design's
    // heights cut them in the fonts here); the grid takes what is left.
    const int infoHeight = qMax(kInfoHeight, platform::textBoxHeight(info, int(anexoflow::infoLines({}).size())));
    const int noteHeight = qMax(kNoteHeight, platform::textBoxHeight(Memo1, Memo1->blockCount()));
    const int gridTop = infoHeight;
    const int gridHeight = qMax(cs.height() - infoHeight - noteHeight - kTotalHeight - kButtonHeight, 40);
    info->setGeometry(0, 0, w, infoHeight);
    gax->setGeometry(0, gridTop, w, gridHeight);
    int y = gridTop + gridHeight;
    Memo1->setGeometry(0, y, w, noteHeight);
    y += noteHeight;
    Label1->setGeometry(300, y + 5, 180, 18);
    TTLVAL->setGeometry(w - 160, y + 3, 150, 22);
    y += kTotalHeight;
    btok->setGeometry(20, y + 4, 150, 32);
    BitBtn2->setGeometry(w - 170, y + 4, 150, 32);
}

void Tfanexo::loadannexitems(const anexoflow::Worker &w)
{
    m_state.loadannexitems(dm56.sub, w);
    TTLVAL->setText(anexoflow::totalTextOnLoad(m_state.annextotal()));
    if (m_state.rowCount() > 0)
        gax->setCurrentCell(0, 2);
    gax->viewport()->update();
}

void Tfanexo::FormActivate()
{
    info->setPlainText(anexoflow::infoLines(m_state.worker()).join(QLatin1Char('\n')));
    info->verticalScrollBar()->setValue(0);
    info->moveCursor(QTextCursor::Start);
    if (m_state.rowCount() > 0) {
        gax->setFocus();
        if (gax->currentRow() < 0)
            gax->setCurrentCell(0, 2);
        gax->edit(gax->currentIndex());
    }
}

void Tfanexo::showEvent(QShowEvent *e)
{
    // At the top of the data-entry window, across its middle (that window
    // may have been maximised since the editor was made).
    if (const QWidget *entry = parentWidget() ? parentWidget()->window() : nullptr) {
        const QRect r = entry->geometry();
        move(r.x() + qMax(0, (r.width() - width()) / 2), r.y());
    }
    platform::TForm::showEvent(e);
    FormActivate();
}

void Tfanexo::gaxSetEditText(int row, const QString &text)
{
    if (m_state.setEditText(row, text) == anexoflow::AnnexState::Edit::Changed)
        TTLVAL->setText(anexoflow::totalTextOnChange(m_state.annextotal()));
    gax->viewport()->update();
}

void Tfanexo::btokClick()
{
    // A cell still being typed in counts.
    if (QWidget *ed = gax->indexWidget(gax->currentIndex()))
        gax->itemDelegate()->setModelData(ed, gax->model(), gax->currentIndex());
    if (m_state.confirm(dm56.sub))
        setModalResult(platform::mrOk);
}

} // namespace r56

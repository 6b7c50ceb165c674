#include "workbench/mainflow.h"

#include "shared/pubvar.h"
#include "workbench/title.h"

#include <QHash>

namespace r56::mainflow {

namespace {
const QString crlf = QStringLiteral("\r\n");
}

// ------------------------------------------------------------------ buttons

Buttons startButtons()
{
    return Buttons{};
}

void applyEmpty(Buttons &b)
{
    b.btmodify = b.btexport = b.btreport = b.btcompany = false;
    b.btimport = b.btcheck = true;
}

void applyShowcmp(Buttons &b)
{
    b.btmodify = b.btexport = b.btreport = b.btcompany = true;
    b.btcheck = false;
}

void applyOpened(Buttons &b)
{
    b.openShowsClose = true;
    b.btimport = false;
}

void applyClosed(Buttons &b)
{
    applyEmpty(b);
    b.openShowsClose = false;
}

void applyLocked(Buttons &b)
{
    b.btopen = b.btmodify = b.btexport = b.btcompany = b.btreport = b.bthelp = false;
}

void applyUnlocked(Buttons &b)
{
    b.btopen = b.btmodify = b.btexport = b.btcompany = b.btreport = b.bthelp = true;
}

// ------------------------------------------------------------------ steps

void StepGuide::reset()
{
    m_looks = {StepLook::Available, StepLook::Available, StepLook::Unavailable,
               StepLook::Unavailable, StepLook::Unavailable, StepLook::Unavailable};
}

void StepGuide::opened()
{
    m_looks = {StepLook::Unavailable, StepLook::Visited, StepLook::Available,
               StepLook::Available, StepLook::Available, StepLook::Available};
}

void StepGuide::visit(int step)
{
    set(step, StepLook::Visited);
}

void StepGuide::set(int step, StepLook look)
{
    if (step >= 1 && step <= 6)
        m_looks[step - 1] = look;
}

StepLook StepGuide::look(int step) const
{
    return step >= 1 && step <= 6 ? m_looks[step - 1] : StepLook::Unavailable;
}

bool stepButtonEnabled(const Buttons &b, int step)
{
    switch (step) {
    case 1: return b.btimport;
    case 2: return b.btopen;
    case 3: return b.btcompany;
    case 4: return b.btmodify;
    case 5: return b.btreport;
    case 6: return b.btexport;
    default: return false;
    }
}


// ------------------------------------------------------------------ orders

QByteArray openOrder(QByteArrayView stafforder)
{
    // A saved order that is not one (damaged file, hand-edited text) must not
    // stop the open: the table cannot be ordered by columns it does not have.
    if (validstafforder(stafforder))
        return stafforder.toByteArray();
    return QByteArrayLiteral("art;nmp");
}

QByteArray entryOrder(QByteArrayView stafforder)
{
    // "Occurs in" is a plain text test: pieces such as ";" or "p;cn" occur in
    // the list as well, so the saved order must also be a usable order.
    static const QByteArray known = QByteArrayLiteral("art;nmp;cntb,art;cntb");
    if (!stafforder.isEmpty() && known.contains(stafforder) && validstafforder(stafforder))
        return stafforder.toByteArray();
    return QByteArrayLiteral("art;nmp;cntb");
}

// ------------------------------------------------------------------ exit

bool exitAsks(TDateTime dtexport, TDateTime dtupdate)
{
    return dtexport > 0 && dtexport < dtupdate;
}

// ------------------------------------------------------------------ texts

QString buttonCaption(const char *button, bool openShowsClose)
{
    static const QHash<QByteArray, QString> captions = {
        {"btimport", QStringLiteral("匯入資料") + crlf + QStringLiteral("&Importacao") + crlf
                         + QStringLiteral("dos Dados")},
        {"btcompany", QStringLiteral("申報年度／商號資料") + crlf + QStringLiteral("Exer./Ent.Patronal")},
        {"btmodify", QStringLiteral("更新R5/R6資料") + crlf + QStringLiteral("&Alt. Dados do R5/R6")},
        {"btexport", QStringLiteral("匯出資料") + crlf + QStringLiteral("&Exportacao") + crlf
                         + QStringLiteral("dos Dados")},
        {"btcheck", QStringLiteral("檢查資料") + crlf + QStringLiteral("&Verificacao de Dados")},
        {"btreport", QStringLiteral("列印報表") + crlf + QStringLiteral("Impressao do &Mapa")},
        {"bthelp", QStringLiteral("使用說明") + crlf + QStringLiteral("Instrucoes")},
        {"btexit", QStringLiteral("退出系統") + crlf + QStringLiteral("&Saida do Sistema")},
    };
    if (QByteArrayView(button) == "btopen")
        return openShowsClose ? QStringLiteral("關閉檔案") + crlf + QStringLiteral("Fechar &Ficheiro")
                              : QStringLiteral("開啟檔案") + crlf + QStringLiteral("Abrir &Ficheiro");
    return captions.value(QByteArray(button));
}

QString stepCaption(int step)
{
    switch (step) {
    case 1: return QStringLiteral("1. 匯入由稅務當局提供及由商號自行製作(倘有)之本年度僱員及商號資料檔案");
    case 2: return QStringLiteral("2. 開啟已匯入之資料檔案");
    case 3: return QStringLiteral("3. 確定申報年度、商號資料及填寫聯絡電話");
    case 4: return QStringLiteral("4. 輸入或修改各僱員的收益申報資料");
    case 5: return QStringLiteral("5. 列印綜合報表、僱員或散工名表(R5/R6表格)，及不屬課稅收益明細表(附件A)");
    case 6: return QStringLiteral("6. 將僱員資料匯出至準備交到稅務當局的磁碟中");
    default: return {};
    }
}

QString stepPortuguese(int step)
{
    switch (step) {
    case 1: return QStringLiteral("Importacao do ficheiro da D.S.Tributos e (se houver) o ficheiro preparado pelo utilizador");
    case 2: return QStringLiteral("Abertura do ficheiro da empresa");
    case 3: return QStringLiteral("Confirmacao do exercicio da declaracao, dados da empresa e preenchimento do no. de telefone");
    case 4: return QStringLiteral("Introducao ou alteracao dos rendimentos dos empregados.");
    case 5: return QStringLiteral("Impressao dos mapas, R5/R6 e anexos (em duplicado)");
    case 6: return QStringLiteral("Exportacao dos dados dos empregados para a disquete para a Direccao dos Servicos de Tributos (KBV).");
    default: return {};
    }
}

QString tipText(TipTarget target, bool importEnabled)
{
    switch (target) {
    case TipTarget::btimport:
        return stepCaption(1) + crlf + QStringLiteral("   ") + stepPortuguese(1);
    case TipTarget::btopen:
        if (importEnabled)
            return stepCaption(2) + crlf + QStringLiteral("   ") + stepPortuguese(2);
        return QStringLiteral("關閉現時使用中的檔案") + crlf + QStringLiteral("Fechar do ficheiro da empresa");
    case TipTarget::btcompany:
        return stepCaption(3) + crlf
               + QStringLiteral("   Confirmacao do exercicio da declaracao, dados da empresa e preenchimento do no. de")
               + crlf + QStringLiteral("   telefone");
    case TipTarget::btmodify:
        return stepCaption(4) + crlf + QStringLiteral("   ") + stepPortuguese(4);
    case TipTarget::btreport:
        return stepCaption(5) + crlf + QStringLiteral("   ") + stepPortuguese(5);
    case TipTarget::btexport:
        return stepCaption(6) + crlf
               + QStringLiteral("   Exportacao dos dados dos empregados para a disquete para a Direccao dos Servicos de")
               + crlf + QStringLiteral("   Tributos (KBV).");
    case TipTarget::btcheck:
        return QStringLiteral("檢查交到稅務當局的磁碟的資料是否符合規定的格式");
    case TipTarget::btexit:
        return QStringLiteral("退出") + title::chinese() + crlf + QStringLiteral("Saida de ")
               + title::portuguese();
    case TipTarget::bthelp:
    case TipTarget::None:
        break;
    }
    return QStringLiteral(" ");
}

QString openFailedText()
{
    return QStringLiteral("檔案資料不正確") + crlf + QStringLiteral("Os dados do ficheiro invalidos.");
}

QString noPhoneCaption()
{
    return QStringLiteral("注意(Atencao)");
}

QString noPhoneText()
{
    return QStringLiteral("請使用\"申報年度/商號資料\"加入聯絡電話") + crlf
           + QStringLiteral("Favor utilize \"Exer./Ent.Patronal\" para") + crlf
           + QStringLiteral("preencher o no. telefone.");
}

QString closeFirstText()
{
    return QStringLiteral("你現在已開啟了一個檔案，") + crlf
           + QStringLiteral("是否先關閉此檔案，然後再開啟另一檔案？") + crlf
           + QStringLiteral("Um ficheiro ja esta aberto.") + crlf
           + QStringLiteral(" Querir de ficha-lo e abrir um outro ficheiro?");
}

QString importGuardCaption()
{
    return QStringLiteral("注意(Atencao):");
}

QString importGuardText()
{
    return QStringLiteral("請先關閉目前商號檔案") + crlf + QStringLiteral("E preciso de fechar o ficheiro em uso.");
}

QString exitCheckText()
{
    return QStringLiteral("發現在匯出資料後尚有更新資料!") + crlf
           + QStringLiteral("建議再匯出資料及重新印製報表") + crlf
           + QStringLiteral("HOUVE ALTERACOES APOS ULTIMA EXPORTACAO!") + crlf
           + QStringLiteral("SUGERE EXPORTAR OUTRA VEZ E REIMPRIMIR A RELACAO");
}

QString openDialogTitle()
{
    return QStringLiteral("開啟檔案 ( Abrir Ficheiro )");
}

} // namespace r56::mainflow

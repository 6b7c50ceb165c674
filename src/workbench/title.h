#pragma once
// The system's own title, in one place: the main window's caption, its
// heading and the exit hint all read it from here.
#include <QString>

namespace r56::title {

inline QString chinese() { return QStringLiteral("僱員及散工收益申報系統"); }
inline QString portuguese()
{
    return QStringLiteral("Sistema de Declaracao de Rendimentos dos Empregados e Assalariados");
}
// The Portuguese title as the heading shows it, on two lines.
inline QString portugueseLines()
{
    return QStringLiteral("Sistema de Declaracao de Rendimentos\ndos Empregados e Assalariados");
}
// Window caption: Chinese first, the Portuguese in parentheses.
inline QString caption() { return chinese() + QStringLiteral(" (") + portuguese() + QStringLiteral(")"); }

} // namespace r56::title

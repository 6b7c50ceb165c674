#pragma once
// The open declaration's globals (the employer file's and the table files'
// names, the employer record) kept while it lives and put back when it goes,
// for tests that point them at a declaration of their own.
#include "shared/pubvar.h"

#include <QString>
#include <QStringList>

namespace r56::test {

class KeepDeclaration
{
public:
    KeepDeclaration() = default;
    ~KeepDeclaration()
    {
        cmpname = m_names[0];
        dtaname = m_names[1];
        axaname = m_names[2];
        axcname = m_names[3];
        cmpfile = m_rec;
    }
    KeepDeclaration(const KeepDeclaration &) = delete;
    KeepDeclaration &operator=(const KeepDeclaration &) = delete;

private:
    const QStringList m_names{cmpname, dtaname, axaname, axcname};
    const TCmpFile m_rec = cmpfile;
};

} // namespace r56::test

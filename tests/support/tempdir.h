#pragma once
// Small file helpers for tests working in a temporary folder.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace r56::test {

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// UTF-8 source text to Big5 bytes, for fixtures.
QByteArray b5(const char *utf8);

} // namespace r56::test

#pragma once
// Small file helpers for tests working in a temporary folder.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

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

// While it lives, no file this process writes may grow past `bytes`: a write
// beyond fails as on a full disk (EFBIG), without a signal. Pipes and the
// terminal are not files and are not limited.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        struct rlimit l = m_old;
        l.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    struct rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

// UTF-8 source text to Big5 bytes, for fixtures.
QByteArray b5(const char *utf8);

} // namespace r56::test

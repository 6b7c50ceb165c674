#include "platform/regularfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace r56::platform {

namespace {

ReadHook &hook()
{
    static ReadHook h;
    return h;
}

} // namespace

void setReadHook(ReadHook h) { hook() = std::move(h); }

ReadOutcome readregular(const QString &path, qint64 max, QByteArray &out, Larger larger)
{
    out.clear();
    if (path.isEmpty())
        return ReadOutcome::Missing;
    if (hook()) {
        if (const std::optional<ReadOutcome> made = hook()(path))
            return *made;
    }
    // Without waiting: opening a pipe for reading would wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ELOOP || errno == ENOTDIR)
            return ReadOutcome::Missing;
        return ReadOutcome::Unreadable;
    }
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return ReadOutcome::Unreadable;
    if (!S_ISREG(st.st_mode))
        return ReadOutcome::NotRegular;
    if (st.st_size > max && larger == Larger::Refuse)
        return ReadOutcome::TooLarge;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

    // One byte beyond the limit tells a file that grew since its size was
    // taken.
    const qint64 want = larger == Larger::Refuse ? max + 1 : max;
    QByteArray buf(qsizetype(std::min<qint64>(want, std::max<qint64>(st.st_size, 0) + 1)),
                   Qt::Uninitialized);
    qint64 got = 0;
    for (;;) {
        if (got == buf.size()) {
            if (got >= want)
                break;
            buf.resize(qsizetype(std::min<qint64>(want, qint64(buf.size()) * 2 + 4096)));
        }
        const ssize_t n = ::read(fd, buf.data() + got, size_t(buf.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ReadOutcome::Unreadable;
        if (n == 0)
            break;
        got += n;
    }
    if (got > max) {
        if (larger == Larger::Refuse)
            return ReadOutcome::TooLarge;
        got = max;
    }
    buf.truncate(qsizetype(got));
    out = std::move(buf);
    return ReadOutcome::Ok;
}

} // namespace r56::platform

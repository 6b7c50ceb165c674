#include "platform/picturereg.h"

#include <QHash>
#include <QMutex>
#include <QSet>

namespace r56::platform {

namespace {

struct Registry {
    QMutex lock;
    QList<PictureFileFormat> files;
    QList<QString> formatNames;           // format 0xC000 + i
    QHash<unsigned, QString> formatClass; // clipboard format -> picture class
    QSet<QString> classes;
};

Registry &registry()
{
    static Registry r;
    return r;
}

constexpr unsigned kFirstFormat = 0xC000;

} // namespace

void registerFileFormat(const QString &extension, const QString &description, const QString &className)
{
    Registry &r = registry();
    QMutexLocker guard(&r.lock);
    const QString ext = extension.toLower();
    r.files.removeIf([&](const PictureFileFormat &f) { return f.extension == ext; });
    r.files.append({ext, description, className});
}

void unregisterPictureClass(const QString &className)
{
    Registry &r = registry();
    QMutexLocker guard(&r.lock);
    r.files.removeIf([&](const PictureFileFormat &f) { return f.className == className; });
    r.formatClass.removeIf([&](const auto &it) { return it.value() == className; });
}

QList<PictureFileFormat> fileFormats()
{
    Registry &r = registry();
    QMutexLocker guard(&r.lock);
    return r.files;
}

QString classForExtension(const QString &extension)
{
    Registry &r = registry();
    QMutexLocker guard(&r.lock);
    const QString ext = extension.toLower();
    for (const auto &f : r.files)
        if (f.extension == ext)
            return f.className;
    return QString();
}

unsigned registerClipboardFormat(const QString &name)
{
    Registry &r = registry();
    QMutexLocker guard(&r.lock);
    // Names of registered formats compare without regard to case.
    for (qsizetype i = 0; i < r.formatNames.size(); ++i)
        if (r.formatNames[i].compare(name, Qt::CaseInsensitive) == 0)
            return kFirstFormat + unsigned(i);
    r.formatNames.append(name);
    return kFirstFormat + unsigned(r.formatNames.size() - 1);
}

QString clipboardFormatName(unsigned format)
{
    Registry &r = registry();
    QMutexLocker guard(&r.lock);
    if (format < kFirstFormat || format - kFirstFormat >= unsigned(r.formatNames.size()))
        return QString();
    return r.formatNames[qsizetype(format - kFirstFormat)];
}

QString clipboardMimeType(unsigned format)
{
    const QString name = clipboardFormatName(format);
    if (name.isEmpty())
        return QString();
    return QStringLiteral("application/x-qt-windows-mime;value=\"%1\"").arg(name);
}

void registerClipboardFormatClass(unsigned format, const QString &className)
{
    Registry &r = registry();
    QMutexLocker guard(&r.lock);
    r.formatClass.insert(format, className);
}

QString classForClipboardFormat(unsigned format)
{
    Registry &r = registry();
    QMutexLocker guard(&r.lock);
    return r.formatClass.value(format);
}

void registerClass(const QString &className)
{
    Registry &r = registry();
    QMutexLocker guard(&r.lock);
    r.classes.insert(className);
}

bool isClassRegistered(const QString &className)
{
    Registry &r = registry();
    QMutexLocker guard(&r.lock);
    return r.classes.contains(className);
}

} // namespace r56::platform

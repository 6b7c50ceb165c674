#include "printing/formpics.h"

#include "printing/jpegio.h"

#include <QHash>

namespace r56::print {

QImage formPicture(const QString &name)
{
    static QHash<QString, QImage> decoded;
    const auto it = decoded.constFind(name);
    if (it != decoded.constEnd())
        return *it;
    for (int i = 0; i < kEmbeddedPictureCount; ++i) {
        const EmbeddedPicture &p = kEmbeddedPictures[i];
        if (name == QLatin1String(p.name)) {
            const QImage img = jpeg::decode(QByteArray::fromRawData(
                reinterpret_cast<const char *>(p.data), qsizetype(p.size)));
            decoded.insert(name, img);
            return img;
        }
    }
    return {};
}

} // namespace r56::print

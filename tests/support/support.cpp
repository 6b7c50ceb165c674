#include "tempdir.h"

#include "shared/big5.h"

namespace r56::test {

QByteArray b5(const char *utf8)
{
    return r56::big5::encode(QString::fromUtf8(utf8));
}

} // namespace r56::test

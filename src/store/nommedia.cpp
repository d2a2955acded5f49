#include "store/nommedia.h"

bool nomMediaAdmis(const QString &nom)
{
    if (nom.isEmpty() || nom.contains(QLatin1String("..")))
        return false;
    for (QChar c : nom) {
        const char16_t u = c.unicode();
        if (u == u'/' || u == u'\\' || u < 0x20 || (u >= 0x7F && u < 0xA0))
            return false;
    }
    return true;
}

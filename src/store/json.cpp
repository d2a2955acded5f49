#include "store/json.h"

QString chaineJson(const QString &texte, LieuJson lieu)
{
    const bool script = lieu == LieuJson::Script;
    QString s;
    s.reserve(texte.size() + 2);
    s += u'"';
    for (QChar c : texte) {
        const char16_t u = c.unicode();
        switch (u) {
        case u'"': s += QLatin1String("\\\""); continue;
        case u'\\': s += QLatin1String("\\\\"); continue;
        case u'\n': s += QLatin1String("\\n"); continue;
        case u'\r': s += QLatin1String("\\r"); continue;
        case u'\t': s += QLatin1String("\\t"); continue;
        default: break;
        }
        // Inside a <script> element "</script", "<!--" and "]]>" must not appear: the signs that
        // make them up go as escapes. U+2028 and U+2029 end a line in older script readers.
        const bool pourScript = script && (u == u'<' || u == u'>' || u == u'&' || u == 0x2028 || u == 0x2029);
        if (pourScript || u < 0x20 || (u >= 0x7F && u < 0xA0))
            s += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0'));
        else
            s += c;
    }
    s += u'"';
    return s;
}

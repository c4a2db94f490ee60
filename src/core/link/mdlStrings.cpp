#include "core/link/mdlStrings.h"

#include "core/common/HexText.h"

#include <array>

namespace mdlStrings {


QString ByteToHex(quint8 b)
{
    return HexText::byte(b);
}

QString TrimCrLf(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    auto isCrLf = [](QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); };
    while (first < last && isCrLf(text.at(first)))
        ++first;
    while (last > first && isCrLf(text.at(last - 1)))
        --last;
    return text.mid(first, last - first);
}

bool isUnsolicited(const QString &line)
{
    static const char *const codes[] = {"RING", "+CRING", "+CLIP", "+CMTI", "+CMT:", "+CDS", "+CDSI", "+CREG",
                                        "+CGREG", "+CUSD", "+CBM"};
    const QString bare = TrimCrLf(line).trimmed().toUpper();
    if (bare.startsWith(QLatin1Char('^')))
        return true;
    for (const char *code : codes) {
        const QLatin1String c(code);
        if (bare == c || (bare.startsWith(c) && (c.back() == ':' || bare.at(c.size()) == QLatin1Char(':'))))
            return true;
    }
    return false;
}

} // namespace mdlStrings

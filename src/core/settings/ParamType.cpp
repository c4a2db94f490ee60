#include "core/settings/ParamType.h"

namespace ParamTypes {

ParamType fromName(const QString &typeName)
{
    struct Name
    {
        const char *text;
        ParamType type;
    };
    static const Name names[] = {{"BYTE", ParamType::Byte},   {"WORD", ParamType::Word},    {"INT", ParamType::Int},
                                 {"SINT", ParamType::SInt},   {"MBYTE", ParamType::MByte},  {"BIT", ParamType::Bit},
                                 {"STRING", ParamType::String}, {"X", ParamType::X}};
    const QString t = typeName.trimmed().toUpper();
    for (const Name &n : names) {
        if (t == QLatin1String(n.text))
            return n.type;
    }
    return ParamType::Unknown;
}

bool isNumeric(ParamType type)
{
    switch (type) {
    case ParamType::Byte:
    case ParamType::Word:
    case ParamType::Int:
    case ParamType::SInt:
    case ParamType::MByte:
        return true;
    default:
        return false;
    }
}

} // namespace ParamTypes

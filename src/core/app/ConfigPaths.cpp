#include "core/app/ConfigPaths.h"

#include "core/settings/TextFile.h"

namespace ConfigPaths {

bool representable(const QString &path)
{
    return TextFile::canEncode1251(path);
}

QString refusal(const QString &path, const QString &iniName)
{
    return QStringLiteral("Имя файла содержит знаки, которых нет в кодовой странице 1251, и не может быть записано в ")
           + iniName + QStringLiteral(":\r\n") + path;
}

bool accept(UserPrompts &prompts, const QString &path, const QString &iniName)
{
    if (representable(path))
        return true;
    prompts.message(refusal(path, iniName));
    return false;
}

} // namespace ConfigPaths

#include "ScriptedPrompts.h"

UserPrompts::Answer ScriptedPrompts::message(const QString &text, const QString &title, Icon icon, Buttons buttons)
{
    shown.append({text, title, icon, buttons});
    if (!answers.isEmpty())
        return answers.dequeue();
    return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
}

QString ScriptedPrompts::openFile(const QString &title, const QString &folder, const QList<Filter> &filters, bool)
{
    dialogTitles.append(title);
    dialogFolders.append(folder);
    dialogFilters.append(filters);
    return paths.isEmpty() ? QString() : paths.dequeue();
}

QString ScriptedPrompts::saveFile(const QString &title, const QString &, const QList<Filter> &)
{
    dialogTitles.append(title);
    return paths.isEmpty() ? QString() : paths.dequeue();
}

bool ScriptedPrompts::openDocument(const QString &path)
{
    openedDocuments.append(path);
    return viewerPresent;
}

QStringList ScriptedPrompts::texts() const
{
    QStringList out;
    for (const Shown &s : shown)
        out.append(s.text);
    return out;
}

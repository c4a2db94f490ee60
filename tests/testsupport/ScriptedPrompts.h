#pragma once

#include "core/app/UserPrompts.h"

#include <QList>
#include <QQueue>
#include <QString>

// Prompts with scripted answers: records every message and dialog, never blocks.
class ScriptedPrompts : public UserPrompts
{
public:
    struct Shown
    {
        QString text;
        QString title;
        Icon icon;
        Buttons buttons;
    };

    // Answers used in order; when empty, Ok for Ok boxes and No for Yes/No boxes.
    QQueue<Answer> answers;
    // Paths returned by file dialogs in order; empty (cancel) when none left.
    QQueue<QString> paths;

    QList<Shown> shown;
    QStringList openedDocuments;
    QStringList dialogTitles;
    // Initial folder and filters of each open dialog, in order.
    QStringList dialogFolders;
    QList<QList<Filter>> dialogFilters;

    Answer message(const QString &text, const QString &title = QString(), Icon icon = Icon::None,
                   Buttons buttons = Buttons::Ok) override;
    QString openFile(const QString &title, const QString &folder, const QList<Filter> &filters,
                     bool mustExist) override;
    QString saveFile(const QString &title, const QString &folder, const QList<Filter> &filters) override;
    // Whether a viewer "opens" the documents.
    bool viewerPresent = true;
    bool openDocument(const QString &path) override;

    QStringList texts() const;
};

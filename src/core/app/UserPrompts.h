#pragma once

#include <QList>
#include <QString>

// Every message box and file dialog of the program goes through this interface,
// so logic classes never open windows themselves and tests can script the answers.
class UserPrompts
{
public:
    enum class Icon { None, Information, Question, Warning, Critical };
    // YesNoDefaultNo: Enter answers No (a question whose Yes cannot be taken back).
    // YesNoDefaultNo for a Yes that cannot be taken back; YesNoCancel where Esc must keep the work.
    enum class Buttons { Ok, YesNo, YesNoDefaultNo, YesNoCancel };
    enum class Answer { Ok, Yes, No, Cancel };

    struct Filter
    {
        QString description;
        QString pattern;
    };

    virtual ~UserPrompts() = default;

    // An empty title means the application's default title.
    virtual Answer message(const QString &text, const QString &title = QString(), Icon icon = Icon::None,
                           Buttons buttons = Buttons::Ok) = 0;

    // Returns the chosen path, or an empty text on cancel.
    virtual QString openFile(const QString &title, const QString &folder, const QList<Filter> &filters,
                             bool mustExist) = 0;
    virtual QString saveFile(const QString &title, const QString &folder, const QList<Filter> &filters) = 0;

    // Shell "Open" of a document; false when no program took it (or the file is missing).
    virtual bool openDocument(const QString &path) = 0;
};

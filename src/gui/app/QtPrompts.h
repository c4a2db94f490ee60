#pragma once

#include "core/app/UserPrompts.h"

class QWidget;

// Real message boxes and file dialogs.
class QtPrompts : public UserPrompts
{
public:
    explicit QtPrompts(QWidget *owner = nullptr) : m_owner(owner) {}
    void setOwner(QWidget *owner) { m_owner = owner; }

    Answer message(const QString &text, const QString &title = QString(), Icon icon = Icon::None,
                   Buttons buttons = Buttons::Ok) override;
    QString openFile(const QString &title, const QString &folder, const QList<Filter> &filters,
                     bool mustExist) override;
    QString saveFile(const QString &title, const QString &folder, const QList<Filter> &filters) override;
    bool openDocument(const QString &path) override;

private:
    QWidget *m_owner = nullptr;
};

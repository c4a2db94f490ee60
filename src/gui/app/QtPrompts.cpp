#include "gui/app/QtPrompts.h"

#include "gui/common/WindowTitles.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QUrl>

static QString filterText(const QList<UserPrompts::Filter> &filters)
{
    QStringList parts;
    for (const auto &f : filters) {
        if (f.description.isEmpty())
            continue;
        // Keep the description as given; Qt needs the pattern in brackets to apply it.
        QString d = f.description;
        if (!d.contains(f.pattern))
            d += QStringLiteral(" (") + f.pattern + QLatin1Char(')');
        parts << d;
    }
    return parts.join(QStringLiteral(";;"));
}

UserPrompts::Answer QtPrompts::message(const QString &text, const QString &title, Icon icon, Buttons buttons)
{
    QMessageBox box(m_owner);
    // The program's name as its boxes always showed it (the application name is the folder's, "kvrsetup").
    box.setWindowTitle(title.isEmpty() ? QStringLiteral("prjKVRSetup") : title);
    box.setText(text);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    const bool yesNo = buttons != Buttons::Ok;
    const QMessageBox::StandardButtons choice = buttons == Buttons::YesNoCancel
                                                    ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel
                                                    : QMessageBox::Yes | QMessageBox::No;
    box.setStandardButtons(yesNo ? choice : QMessageBox::Ok);
    if (yesNo)
        box.setDefaultButton(buttons == Buttons::YesNoDefaultNo ? QMessageBox::No : QMessageBox::Yes);
    // Esc (and the title bar's close) answers Cancel where there is one: it throws nothing away.
    if (buttons == Buttons::YesNoCancel)
        box.setEscapeButton(QMessageBox::Cancel);
    // A short text would leave the box narrower than its caption: reserve the caption's width (the box
    // builds its layout anew as it is set up, so only now).
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(WindowTitles::widthFor(&box), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    const int answer = box.exec();
    if (!yesNo)
        return Answer::Ok;
    if (answer == QMessageBox::Cancel)
        return Answer::Cancel;
    return answer == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QString QtPrompts::openFile(const QString &title, const QString &folder, const QList<Filter> &filters, bool mustExist)
{
    QFileDialog dlg(m_owner, title, folder, filterText(filters));
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (mustExist)
        dlg.setOption(QFileDialog::DontResolveSymlinks);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().constFirst();
}

QString QtPrompts::saveFile(const QString &title, const QString &folder, const QList<Filter> &filters)
{
    QFileDialog dlg(m_owner, title, folder, filterText(filters));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    // The program asks about replacing files itself.
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().constFirst();
}

bool QtPrompts::openDocument(const QString &path)
{
    return QFileInfo(path).isFile() && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}


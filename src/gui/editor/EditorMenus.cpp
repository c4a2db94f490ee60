#include "gui/editor/EditorMenus.h"

#include "core/app/DataFileFlows.h"
#include "core/app/HelpDocuments.h"
#include "core/editor/TableChange.h"
#include "core/settings/EventReport.h"
#include "gui/editor/ParameterFrame.h"
#include "gui/editor/ParameterPanel.h"
#include "gui/editor/frmMain.h"

#include <QDir>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>

EditorMenus::EditorMenus(frmMain &window, AppState &state, UserPrompts &prompts)
    : m_window(window), m_state(state), m_prompts(prompts)
{
    build();
}

void EditorMenus::build()
{
    QMenuBar *bar = m_window.menuBar();
    auto menu = [bar](const char *name, const QString &caption) {
        QMenu *m = bar->addMenu(caption);
        m->setObjectName(QLatin1String(name));
        return m;
    };
    auto add = [this](QMenu *m, const char *name, const QString &caption, void (EditorMenus::*command)(),
                      const QKeySequence &keys = {}) {
        QAction *a = m->addAction(caption);
        a->setShortcut(keys);
        a->setObjectName(QLatin1String(name));
        QObject::connect(a, &QAction::triggered, &m_window, [this, command] { (this->*command)(); });
    };
    auto separator = [](QMenu *m, const char *name) { m->addSeparator()->setObjectName(QLatin1String(name)); };

    // "&" marks the letter that chooses a menu or an item with the keyboard; it is shown underlined, not as text.
    QMenu *file = menu("mnuFile", QStringLiteral("&Файл"));
    add(file, "mnuLoad", QStringLiteral("&Загрузить"), &EditorMenus::mnuLoad_Click, QKeySequence(Qt::CTRL | Qt::Key_O));
    add(file, "mnu_Export", QStringLiteral("&Сохранить"), &EditorMenus::mnu_Export_Click,
        QKeySequence(Qt::CTRL | Qt::Key_S));
    separator(file, "mnu_temp3");
    separator(file, "mnuTempP");
    add(file, "mnuPrint", QStringLiteral("&Печать"), &EditorMenus::mnuPrint_Click);
    separator(file, "mnuTemop");
    add(file, "mnuExit", QStringLiteral("&Выход"), &EditorMenus::mnuExit_Click);

    QMenu *service = menu("mnuService", QStringLiteral("&Сервис"));
    add(service, "mnu_ChngTable", QStringLiteral("&Сменить управляющую таблицу"), &EditorMenus::mnu_ChngTable_Click);
    add(service, "mnuCom", QStringLiteral("&Настройки связи"), &EditorMenus::mnuCom_Click);
    add(service, "mnu_GPSLINK", QStringLiteral("&Удаленная загрузка ПО"), &EditorMenus::mnu_GPSLINK_Click);
    separator(service, "mnuNull");
    add(service, "mnuClear", QStringLiteral("&Очистить все данные"), &EditorMenus::mnuClear_Click);

    QMenu *help = menu("mnu_Help", QStringLiteral("&Помощь"));
    add(help, "mnu_about", QStringLiteral("&About"), &EditorMenus::mnu_about_Click);
    add(help, "mnu_HelpM", QStringLiteral("&Справка"), &EditorMenus::mnu_HelpM_Click, QKeySequence(Qt::Key_F1));

    // F10 opens the menu bar from anywhere in the window, as operators know it from other programs.
    auto *f10 = new QShortcut(QKeySequence(Qt::Key_F10), &m_window);
    f10->setObjectName(QStringLiteral("keyMenuBar"));
    QObject::connect(f10, &QShortcut::activated, &m_window, [bar, file] { bar->setActiveAction(file->menuAction()); });
}

void EditorMenus::mnuLoad_Click()
{
    if (DataFileFlows(m_state, m_prompts).loadFromUser())
        m_window.UpdateControls();
}

void EditorMenus::mnu_Export_Click()
{
    if (!m_window.m_fraParameters->panel()->focusCheckCancels())
        DataFileFlows(m_state, m_prompts).ExportDataFile();
}

void EditorMenus::mnuPrint_Click()
{
    const QString path = m_state.appPath(QStringLiteral("Report.xml"));
    // The report is only written, never shown: the status bar tells where it went.
    QString error;
    const bool written = EventReport::write(path, m_state.table, m_state.CurrentImage, error);
    m_window.statusBar()->showMessage((written ? QStringLiteral("Отчет записан в файл ")
                                               : QStringLiteral("Не удалось записать отчет в файл "))
                                      + QDir::toNativeSeparators(path));
    if (!written)
        m_prompts.message(error);
}

void EditorMenus::mnuExit_Click()
{
    // No focus check: the program is left whatever the boxes hold, unless the save offer was not carried out.
    if (m_window.leaveProgram())
        m_window.close();
}

void EditorMenus::mnu_ChngTable_Click()
{
    if (TableChange(m_state, m_prompts).run() != TableChange::Result::Accepted)
        return;
    // The groups of the old table would filter out every row of the new one.
    m_window.fillFilter();
    if (m_window.showLoadFile)
        m_window.showLoadFile();
    // Rows must index the new table however the dialog was left.
    m_window.UpdateControls();
}

// The dialog and the link window are modal: the main window waits until they close.
void EditorMenus::mnuCom_Click()
{
    if (m_window.showCommSetup)
        m_window.showCommSetup();
}

void EditorMenus::mnu_GPSLINK_Click()
{
    if (m_window.showLinkWindow)
        m_window.showLinkWindow();
}

void EditorMenus::mnuClear_Click()
{
    if (m_prompts.message(QStringLiteral("Все данные будут обнулены, продолить"), QStringLiteral("Предупреждение"),
                          UserPrompts::Icon::Warning, UserPrompts::Buttons::YesNoDefaultNo)
        == UserPrompts::Answer::Yes)
        DataFileFlows(m_state, m_prompts).clearImage();
    m_window.UpdateControls();
}

void EditorMenus::mnu_about_Click() { HelpDocuments::show(m_state, m_prompts, QStringLiteral("about")); }

void EditorMenus::mnu_HelpM_Click() { HelpDocuments::show(m_state, m_prompts, QStringLiteral("help")); }

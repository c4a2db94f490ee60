#include "gui/editor/frmLoadFile.h"

#include "core/app/DataFileFlows.h"
#include "gui/common/WindowTitles.h"

#include <QHBoxLayout>
#include <QPushButton>

frmLoadFile::frmLoadFile(AppState &state, UserPrompts &prompts, std::function<void()> refreshMain, QWidget *parent)
    : QDialog(parent), m_state(state), m_prompts(prompts), m_refreshMain(std::move(refreshMain))
{
    setObjectName(QStringLiteral("frmLoadFile"));
    setWindowTitle(QStringLiteral("Загрузка файла данных, соответствующих новой таблтице"));
    auto *load = new QPushButton(QStringLiteral("Загрузить"), this);
    load->setObjectName(QStringLiteral("cmdLoad"));
    auto *fresh = new QPushButton(QStringLiteral("Новый"), this);
    fresh->setObjectName(QStringLiteral("cmdNew"));
    connect(load, &QPushButton::clicked, this, [this] { cmdLoad_Click(); });
    connect(fresh, &QPushButton::clicked, this, [this] { cmdNew_Click(); });
    auto *h = new QHBoxLayout(this);
    h->setContentsMargins(24, 20, 24, 20);
    h->setSpacing(16);
    h->addWidget(load);
    h->addWidget(fresh);
    WindowTitles::keepWhole(this);
}

void frmLoadFile::cmdLoad_Click()
{
    // Nothing chosen: the dialog stays for another file or "Новый".
    if (!DataFileFlows(m_state, m_prompts).loadFromUser())
        return;
    if (m_refreshMain)
        m_refreshMain();
    accept();
}

void frmLoadFile::cmdNew_Click()
{
    DataFileFlows(m_state, m_prompts).newDataFile();
    if (m_refreshMain)
        m_refreshMain();
    accept();
}

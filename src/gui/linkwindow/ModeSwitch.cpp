#include "gui/linkwindow/ModeSwitch.h"

#include "gui/linkwindow/Named.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QStackedLayout>
#include <QVBoxLayout>

ModeSwitch::ModeSwitch(QWidget *parent) : QGroupBox(parent)
{
    setObjectName(QStringLiteral("fraLink"));
    auto *layout = new QVBoxLayout(this);
    auto *optionRow = new QHBoxLayout;
    const QString captions[Modes] = {QStringLiteral("Загрузка ПО"), QStringLiteral("Загрузка/считывание профиля"),
                                     QStringLiteral("Адресеная книга")};
    m_options = new QButtonGroup(this);
    for (int i = 0; i < Modes; ++i) {
        m_optIndex[i] = named(new QRadioButton(captions[i], this), QStringLiteral("OptIndex_%1").arg(i));
        m_options->addButton(m_optIndex[i], i);
        optionRow->addWidget(m_optIndex[i]);
    }
    optionRow->addStretch(1);
    layout->addLayout(optionRow);
    // Pages, so the mode area is sized for the widest of the three modes, not the one shown.
    m_pages = new QStackedLayout;
    for (int i = 0; i < Modes; ++i) {
        m_fraIndex[i] = named(new QGroupBox(this), QStringLiteral("FraIndex_%1").arg(i));
        m_pages->addWidget(m_fraIndex[i]);
    }
    layout->addLayout(m_pages, 1);
    m_fraIndex[2]->setTitle(QStringLiteral("Адресная книга"));
    connect(m_options, &QButtonGroup::idClicked, this, &ModeSwitch::modeClicked);
    connect(m_options, &QButtonGroup::idToggled, this, [this](int, bool) { emit selectedModeChanged(selectedMode()); });
}

int ModeSwitch::selectedMode() const
{
    return m_options->checkedId();
}

void ModeSwitch::choose(int mode)
{
    m_optIndex[mode]->click();
}

void ModeSwitch::showPage(int mode)
{
    m_pages->setCurrentIndex(mode);
}

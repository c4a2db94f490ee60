#include "gui/editor/frmCommSetup.h"

#include "core/editor/CommSetupLists.h"
#include "gui/common/WindowTitles.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmCommSetup::frmCommSetup(SerialSettings &settings, QWidget *parent, const QStringList *devices)
    : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("frmCommSetup"));
    setWindowTitle(QStringLiteral("Настройки связи"));

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    auto row = [&](int r, const char *labelName, const QString &caption, const char *name) {
        auto *label = new QLabel(caption, this);
        label->setObjectName(QLatin1String(labelName));
        auto *list = new QComboBox(this);
        list->setObjectName(QLatin1String(name));
        list->setMinimumContentsLength(8);
        list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        label->setBuddy(list);
        grid->addWidget(label, r, 0);
        grid->addWidget(list, r, 1);
        return list;
    };
    m_cmbPortNumber = row(0, "lblPortNumber", QStringLiteral("№ порта"), "cmbPortNumber");
    m_cmbSpeed = row(1, "lblSpeed", QStringLiteral("Скорость"), "cmbSpeed");
    m_cmbNumBits = row(2, "lblNumBits", QStringLiteral("Кол-во бит"), "cmbNumBits");
    m_cmbParity = row(3, "lblParity", QStringLiteral("Четность"), "cmbParity");
    m_cmbStopBits = row(4, "lblStopBits", QStringLiteral("Стоп бит"), "cmbStopBits");
    // A device path may also be typed in place of a port number; the box is wide enough to show one
    // such as /dev/serial/by-id/usb-Modem-if00 whole.
    m_cmbPortNumber->setEditable(true);
    m_cmbPortNumber->setInsertPolicy(QComboBox::NoInsert);
    m_cmbPortNumber->setMinimumContentsLength(36);

    auto *ok = new QPushButton(QStringLiteral("Установить"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(ok, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto *v = new QVBoxLayout(this);
    v->addLayout(grid);
    v->addSpacing(8);
    v->addLayout(buttons);
    setSizeGripEnabled(false);
    WindowTitles::keepWhole(this);

    Form_Load(devices ? *devices : CommSetupLists::presentDevices());
}

void frmCommSetup::Form_Load(const QStringList &devices)
{
    m_cmbPortNumber->addItems(CommSetupLists::portItems(devices));
    m_cmbSpeed->addItems(CommSetupLists::speedItems());
    m_cmbNumBits->addItems(CommSetupLists::dataBitsItems());
    m_cmbParity->addItems(CommSetupLists::parityItems());
    m_cmbStopBits->addItems(CommSetupLists::stopBitsItems());

    FindIndex(m_cmbPortNumber, CommSetupLists::portText(m_settings));
    FindIndex(m_cmbSpeed, CommSetupLists::speedText(m_settings));
    FindIndex(m_cmbParity, CommSetupLists::parityText(m_settings));
    FindIndex(m_cmbNumBits, CommSetupLists::dataBitsText(m_settings));
    FindIndex(m_cmbStopBits, CommSetupLists::stopBitsText(m_settings));
}

void frmCommSetup::FindIndex(QComboBox *list, const QString &text)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    int index = CommSetupLists::FindIndex(items, text);
    if (index < 0 && !text.isEmpty()) {
        // Show the stored value rather than silently offering a different one.
        list->addItem(text);
        index = list->count() - 1;
    }
    if (index >= 0)
        list->setCurrentIndex(index);
}

void frmCommSetup::cmdOK_Click()
{
    CommSetupLists::store(m_settings, m_cmbPortNumber->currentText(), m_cmbSpeed->currentText(),
                          m_cmbNumBits->currentText(), m_cmbParity->currentText(), m_cmbStopBits->currentText());
    accept();
}

void frmCommSetup::cmdCancel_Click()
{
    reject();
}

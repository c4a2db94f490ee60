#include "gui/editor/frmCommSetup.h"

#include "core/app/ConfigPaths.h"

#include "core/editor/CommSetupLists.h"
#include "gui/common/WindowTitles.h"
#include "core/app/UserPrompts.h"

#include <QComboBox>
#include <QIntValidator>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frmCommSetup::frmCommSetup(SerialSettings &settings, QWidget *parent, const QStringList *devices, UserPrompts *prompts)
    : QDialog(parent), m_settings(settings), m_prompts(prompts)
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
    // A speed the list does not offer may be typed.
    m_cmbSpeed->setEditable(true);
    m_cmbSpeed->setInsertPolicy(QComboBox::NoInsert);
    m_cmbSpeed->setValidator(new QIntValidator(1, 4000000, m_cmbSpeed));

    // Where the profile SMS go; firmware always takes the port.
    auto *route = new QGroupBox(QStringLiteral("SMS профилей"), this);
    route->setObjectName(QStringLiteral("fraSmsRoute"));
    m_optModem = new QRadioButton(QStringLiteral("Через модем на этом порту"), route);
    m_optModem->setObjectName(QStringLiteral("optModem"));
    m_optGateway = new QRadioButton(QStringLiteral("Через шлюз gammu-smsd, файл настроек:"), route);
    m_optGateway->setObjectName(QStringLiteral("optGateway"));
    m_txtGatewayConfig = new QLineEdit(route);
    m_txtGatewayConfig->setObjectName(QStringLiteral("txtGatewayConfig"));
    m_txtGatewayConfig->setPlaceholderText(QStringLiteral("например, /etc/gammu-smsdrc"));
    auto *browse = new QPushButton(QStringLiteral("Обзор..."), route);
    browse->setObjectName(QStringLiteral("cmdGatewayBrowse"));
    browse->setAutoDefault(false);
    browse->setEnabled(m_prompts != nullptr);
    connect(browse, &QPushButton::clicked, this, [this] { cmdGatewayBrowse_Click(); });
    auto *routeLayout = new QGridLayout(route);
    routeLayout->addWidget(m_optModem, 0, 0, 1, 2);
    routeLayout->addWidget(m_optGateway, 1, 0, 1, 2);
    routeLayout->addWidget(m_txtGatewayConfig, 2, 0);
    routeLayout->addWidget(browse, 2, 1);
    const auto enableFile = [this, browse] {
        m_txtGatewayConfig->setEnabled(m_optGateway->isChecked());
        browse->setEnabled(m_optGateway->isChecked() && m_prompts);
    };
    connect(m_optGateway, &QRadioButton::toggled, this, enableFile);

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
    v->addWidget(route);
    v->addSpacing(8);
    v->addLayout(buttons);
    setSizeGripEnabled(false);
    WindowTitles::keepWhole(this);

    Form_Load(devices ? *devices : CommSetupLists::presentDevices());
    enableFile();
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
    m_txtGatewayConfig->setText(m_settings.smsGateway);
    (m_settings.smsGateway.isEmpty() ? m_optModem : m_optGateway)->setChecked(true);
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
    const QString gateway = m_optGateway->isChecked() ? m_txtGatewayConfig->text().trimmed() : QString();
    // A gateway without its file would silently leave the modem in charge: say so, and stay.
    if (m_optGateway->isChecked() && gateway.isEmpty()) {
        if (m_prompts)
            m_prompts->message(QStringLiteral("Не указан файл настроек шлюза gammu-smsd: укажите его или выберите модем"));
        m_txtGatewayConfig->setFocus();
        return;
    }
    // Default.ini is code page 1251: a name it cannot hold would be lost on the next start.
    if (!ConfigPaths::representable(gateway)) {
        if (m_prompts)
            m_prompts->message(ConfigPaths::refusal(gateway, QStringLiteral("Default.ini")));
        return;
    }
    CommSetupLists::store(m_settings, m_cmbPortNumber->currentText(), m_cmbSpeed->currentText(),
                          m_cmbNumBits->currentText(), m_cmbParity->currentText(), m_cmbStopBits->currentText());
    m_settings.smsGateway = gateway;
    accept();
}

void frmCommSetup::cmdGatewayBrowse_Click()
{
    const QString path = m_prompts->openFile(QStringLiteral("Файл настроек gammu-smsd"), QString(),
                                             {{QStringLiteral("Все файлы"), QStringLiteral("*")}}, true);
    if (!path.isEmpty())
        m_txtGatewayConfig->setText(path);
}

void frmCommSetup::cmdCancel_Click()
{
    reject();
}

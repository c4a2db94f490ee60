#include "gui/linkwindow/FirmwarePanel.h"
#include "gui/linkwindow/PortLost.h"
#include "gui/linkwindow/Named.h"

#include "core/app/AppState.h"
#include "core/app/ConfigPaths.h"
#include "core/app/UserPrompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QDir>
#include <QProgressBar>
#include <QPushButton>

FirmwarePanel::FirmwarePanel(AppState &state, UserPrompts &prompts, ModemLine &line, QWidget *parent)
    : QWidget(parent), m_state(state), m_prompts(prompts), m_line(line), m_call(line, prompts)
{
    setObjectName(QStringLiteral("FirmwarePanel"));
    buildPanel();
    fillPages(false);
    for (int i = 0; i < 4; ++i)
        cmbBank->addItem(QString::number(i));

    connect(&m_call, &FirmwareDataCall::logsCleared, this, &FirmwarePanel::logsCleared);
    connect(&m_call, &FirmwareDataCall::progressChanged, this, [this](const QString &caption, int percent) {
        lblPercent->setText(caption);
        prgLoad->setValue(percent);
    });
    // Default.ini keeps the last position, as it always has.
    connect(&m_call, &FirmwareDataCall::lastPositionStored, this, [this] {
        m_state.lastBank = m_call.lastPosition().bank;
        m_state.lastPageAddress = m_call.lastPosition().address;
    });
    connect(&m_call, &FirmwareDataCall::runningChanged, cmdLoad, [this](bool running) {
        cmdLoad->setEnabled(!running);
        cmdLoad->setToolTip(running ? QStringLiteral("Идет загрузка: кнопка станет доступна, когда модем положит трубку")
                                    : QString());
        // The bar is there while a load runs; afterwards the caption tells how it ended.
        prgLoad->setVisible(running);
    });
}

void FirmwarePanel::buildPanel()
{
    auto *files = named(new QGroupBox(QStringLiteral("Загружаемые файлы"), this), QStringLiteral("fraFiles"));
    auto *filesLayout = new QGridLayout(files);
    for (int i = 0; i < 3; ++i) {
        txtFileUpload[i] = named(new QLineEdit(files), QStringLiteral("txtFileUpload_%1").arg(i));
        cmdSelFiles[i] = named(new QPushButton(QStringLiteral(".."), files), QStringLiteral("cmdSelFiles_%1").arg(i));
        cmdSelFiles[i]->setAutoDefault(false);
        cmdSelFiles[i]->setFixedWidth(cmdSelFiles[i]->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 16);
        filesLayout->addWidget(txtFileUpload[i], i, 0);
        filesLayout->addWidget(cmdSelFiles[i], i, 1);
        connect(cmdSelFiles[i], &QPushButton::clicked, this, [this, i] { cmdSelFiles_Click(i); });
    }
    chkWOBank = named(new QCheckBox(QStringLiteral("Безбанковая загрузка одного файла"), files),
                      QStringLiteral("chkWOBank"));
    filesLayout->addWidget(chkWOBank, 3, 0, 1, 2);

    auto *bankCaption = new QLabel(QStringLiteral("Адрес банка"), this);
    cmbBank = named(new QComboBox(this), QStringLiteral("cmbBank"));
    bankCaption->setBuddy(cmbBank);
    auto *pageCaption = new QLabel(QStringLiteral("Адрес страницы"), this);
    cmbPageAdr = named(new QComboBox(this), QStringLiteral("cmbPageAdr"));
    pageCaption->setBuddy(cmbPageAdr);
    chkLastAdr = named(new QCheckBox(QStringLiteral("Продолжить с последнего переданного блока блока"), this),
                       QStringLiteral("chkLastAdr"));
    lblPercent = named(new QLabel(QStringLiteral("Загружено"), this), QStringLiteral("lblPercent"));
    prgLoad = named(new QProgressBar(this), QStringLiteral("prgLoad"));
    prgLoad->setRange(0, 100);
    prgLoad->setValue(0);
    prgLoad->setTextVisible(false);
    QSizePolicy keepPlace = prgLoad->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    prgLoad->setSizePolicy(keepPlace);
    prgLoad->hide();
    cmdLoad = named(new QPushButton(QStringLiteral("Загрузить"), this), QStringLiteral("cmdLoad"));
    cmdEscapeTransmit = named(new QPushButton(QStringLiteral("Прервать передачу"), this),
                              QStringLiteral("cmdEscapeTransmit"));
    cmdLoad->setAutoDefault(false);
    cmdEscapeTransmit->setAutoDefault(false);

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(files, 0, 0, 1, 4);
    layout->addWidget(bankCaption, 1, 0);
    layout->addWidget(cmbBank, 1, 1);
    layout->addWidget(pageCaption, 1, 2);
    layout->addWidget(cmbPageAdr, 1, 3);
    layout->addWidget(chkLastAdr, 2, 0, 1, 4);
    layout->addWidget(lblPercent, 3, 0, 1, 2);
    layout->addWidget(prgLoad, 3, 2, 1, 2);
    layout->addWidget(cmdLoad, 4, 0, 1, 2);
    layout->addWidget(cmdEscapeTransmit, 4, 2, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setColumnStretch(3, 1);

    // A change made by the program runs the handler as a click does.
    connect(chkWOBank, &QCheckBox::toggled, this, &FirmwarePanel::chkWOBank_Click);
    connect(cmdLoad, &QPushButton::clicked, this, &FirmwarePanel::cmdLoad_Click);
    connect(cmdEscapeTransmit, &QPushButton::clicked, this, &FirmwarePanel::cmdEscapeTransmit_Click);
}

void FirmwarePanel::fillPages(bool linear)
{
    cmbPageAdr->clear();
    cmbPageAdr->addItems(FirmwareDataCall::pageAddresses(linear));
    cmbPageAdr->setCurrentIndex(FirmwareDataCall::defaultPageIndex(linear));
}

void FirmwarePanel::activate()
{
    lblPercent->clear();
    prgLoad->setValue(0);
    cmbBank->clear();
    for (int i = 0; i < 4; ++i)
        cmbBank->addItem(QString::number(i));
    cmbBank->setCurrentIndex(0);
    // The banked list, whatever chkWOBank says: the window always opens that way.
    fillPages(false);
    for (int i = 0; i < 3; ++i)
        txtFileUpload[i]->setText(m_state.firmwarePaths[i]);
}

void FirmwarePanel::storeFilePaths()
{
    for (int i = 0; i < 3; ++i)
        m_state.firmwarePaths[i] = txtFileUpload[i]->text();
}

void FirmwarePanel::cmdSelFiles_Click(int index)
{
    const QString path = m_prompts.openFile(QStringLiteral("Укажите директорию и файл с базой"),
                                            m_state.appPath(QStringLiteral("data")),
                                            FirmwareDataCall::imageFileFilters(), true);
    // Default.ini keeps the path for the next start: refuse one it would garble.
    if (path.isEmpty() || !ConfigPaths::accept(m_prompts, path, QStringLiteral("Default.ini")))
        return;
    txtFileUpload[index]->setText(path);
    if (index <= 2)
        m_state.firmwarePaths[index] = path;
}

void FirmwarePanel::chkWOBank_Click()
{
    const bool linear = chkWOBank->isChecked();
    for (int i = 1; i < 3; ++i) {
        txtFileUpload[i]->setEnabled(!linear);
        cmdSelFiles[i]->setEnabled(!linear);
    }
    fillPages(linear);
}

void FirmwarePanel::setTerminal(const QString &name, const QString &number)
{
    m_terminalSet = true;
    m_terminalName = name;
    m_terminalNumber = number;
}

void FirmwarePanel::cmdLoad_Click()
{
    if (portLostSaid(m_line, m_prompts))
        return;
    FirmwareDataCall::Request request;
    for (int i = 0; i < 3; ++i)
        request.files[i] = txtFileUpload[i]->text();
    request.linear = chkWOBank->isChecked();
    request.number = m_terminalSet ? m_terminalNumber : m_state.terminalNumber;
    request.start = {chkLastAdr->isChecked(), cmbPageAdr->currentText(), cmbBank->currentText()};
    request.database = m_state.database;
    // A load never runs without its resume points: a success unrecorded would leave a stale one.
    if (!m_state.database) {
        m_prompts.message(QStringLiteral("Адресная книга недоступна: без нее не сохранить точку продолжения, "
                                         "загрузка не начата"),
                          QString(), UserPrompts::Icon::Warning);
        return;
    }
    // Wrong files or a resume that cannot be made are said before the question, which the
    // operator would otherwise answer for nothing; the boxes stay as they are, to be mended.
    ResumePoints::Point resumeAt;
    const QString refused = FirmwareDataCall::refusal(request, m_state.database, &resumeAt);
    if (!refused.isEmpty()) {
        m_prompts.message(refused, QString(), UserPrompts::Icon::Warning);
        return;
    }
    // Flashing cannot be taken back: whatever number and files happen to be in the boxes, ask first.
    const QString name = m_terminalName.trimmed();
    QString question = QStringLiteral("Загрузить ПО в терминал ") + (name.isEmpty() ? QStringLiteral("без имени") : name)
                       + QStringLiteral(", номер ") + request.number + QStringLiteral("?");
    for (int i = 0; i < (request.linear ? 1 : 3); ++i) {
        if (!request.files[i].trimmed().isEmpty())
            question += QStringLiteral("\r\n") + QDir::toNativeSeparators(request.files[i]);
    }
    question += QStringLiteral("\r\n") + startText(request, resumeAt);
    if (m_prompts.message(question, QStringLiteral("Внимание"), UserPrompts::Icon::Question,
                          UserPrompts::Buttons::YesNoDefaultNo)
        != UserPrompts::Answer::Yes)
        return;
    m_call.cmdLoad_Click(request);
}

QString FirmwarePanel::startText(const FirmwareDataCall::Request &request, const ResumePoints::Point &resumeAt)
{
    int bank = 0;
    qint64 address = 0;
    QString from = QStringLiteral("Загрузка");
    if (request.start.continueFromLast) {
        from = QStringLiteral("Продолжение загрузки");
        bank = resumeAt.bank;
        address = resumeAt.address;
    } else {
        bank = request.start.bankText.trimmed().toInt();
        address = request.start.pageText.trimmed().toLongLong(nullptr, 16);
    }
    if (bank == 0 && address == 0)
        return from + QStringLiteral(" с начала");
    return from + QStringLiteral(" с блока ") + QString::number(address, 16).toUpper() + QLatin1Char('H')
           + (request.linear ? QString() : QStringLiteral(" банка ") + QString::number(bank));
}

void FirmwarePanel::cmdEscapeTransmit_Click()
{
    m_call.cmdEscapeTransmit_Click();
}

void FirmwarePanel::clearContinueFromLast()
{
    chkLastAdr->setChecked(false);
}

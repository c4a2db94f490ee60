#pragma once

#include "core/app/AppState.h"

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLineEdit;
class QRadioButton;
class UserPrompts;

// "Настройки связи": the serial port and its line settings, and where the profile SMS go: the
// modem on that port or a gammu-smsd gateway named by its configuration file.
class frmCommSetup : public QDialog
{
    Q_OBJECT

public:
    // devices: serial devices offered after the port numbers (the machine's own when not given).
    explicit frmCommSetup(SerialSettings &settings, QWidget *parent = nullptr,
                          const QStringList *devices = nullptr, UserPrompts *prompts = nullptr);

    // Selects the first item whose lower-case text equals text; a value with no item is added and shown.
    static void FindIndex(QComboBox *list, const QString &text);

    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdGatewayBrowse_Click();

private:
    void Form_Load(const QStringList &devices);

    SerialSettings &m_settings;
    QComboBox *m_cmbPortNumber = nullptr;
    QComboBox *m_cmbSpeed = nullptr;
    QComboBox *m_cmbNumBits = nullptr;
    QComboBox *m_cmbParity = nullptr;
    QComboBox *m_cmbStopBits = nullptr;
    QRadioButton *m_optModem = nullptr;
    QRadioButton *m_optGateway = nullptr;
    QLineEdit *m_txtGatewayConfig = nullptr;
    UserPrompts *m_prompts = nullptr;
};

#pragma once

#include "core/app/AppState.h"

#include <QDialog>
#include <QStringList>

class QComboBox;

// "Настройки связи": the serial port and its line settings.
class frmCommSetup : public QDialog
{
    Q_OBJECT

public:
    // devices: serial devices offered after the port numbers (the machine's own when not given).
    explicit frmCommSetup(SerialSettings &settings, QWidget *parent = nullptr,
                          const QStringList *devices = nullptr);

    // Selects the first item whose lower-case text equals text; a value with no item is added and shown.
    static void FindIndex(QComboBox *list, const QString &text);

    void cmdOK_Click();
    void cmdCancel_Click();

private:
    void Form_Load(const QStringList &devices);

    SerialSettings &m_settings;
    QComboBox *m_cmbPortNumber = nullptr;
    QComboBox *m_cmbSpeed = nullptr;
    QComboBox *m_cmbNumBits = nullptr;
    QComboBox *m_cmbParity = nullptr;
    QComboBox *m_cmbStopBits = nullptr;
};

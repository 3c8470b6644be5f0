#include "preferences/PreferencesDialog.h"

#include "preferences/AlarmsPage.h"
#include "preferences/NetworkPage.h"
#include "preferences/RunLogPage.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace preferences {

PreferencesDialog::PreferencesDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("dlgMore"));
    setWindowTitle(QStringLiteral("Дополнительно"));
    auto* layout = new QVBoxLayout(this);

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("pgcMore"));
    m_runLogPage = new RunLogPage(m_pages);
    m_alarmsPage = new AlarmsPage(m_pages);
    m_pages->addTab(m_runLogPage, QStringLiteral("Журнал"));
    m_networkPage = new NetworkPage(m_pages);
    m_pages->addTab(m_alarmsPage, QStringLiteral("Сигнализация"));
    m_pages->addTab(m_networkPage, QStringLiteral("Сеть"));
    layout->addWidget(m_pages);

    // The same buttons as the parameters dialog's.
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    cancel->setObjectName(QStringLiteral("btnMoreCancel"));
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ok->setObjectName(QStringLiteral("btnMoreOk"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &PreferencesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void PreferencesDialog::fill(const app::RunLogSettings& runLog, const QString& defaultRunFolder,
    const alarms::AlarmSettings& alarmSettings, bool bandActive)
{
    m_runLog = runLog;
    m_alarms = alarmSettings;
    m_runLogPage->fill(runLog, defaultRunFolder);
    m_alarmsPage->fill(alarmSettings, bandActive);
}

void PreferencesDialog::fillNetwork(const telemetry::MqttSettings& mqtt, const QString& defaultBench)
{
    m_mqtt = mqtt;
    m_networkPage->fill(mqtt, defaultBench);
}

void PreferencesDialog::accept()
{
    app::RunLogSettings runLog = m_runLog;
    alarms::AlarmSettings alarmSettings = m_alarms;
    telemetry::MqttSettings mqtt = m_mqtt;
    std::optional<FieldError> error = m_runLogPage->read(runLog);
    QWidget* page = m_runLogPage;
    if (!error) {
        error = m_alarmsPage->read(alarmSettings);
        page = m_alarmsPage;
    }
    if (!error) {
        error = m_networkPage->read(mqtt);
        page = m_networkPage;
    }
    if (error) {
        m_pages->setCurrentWidget(page);
        QMessageBox::warning(this, windowTitle(), error->message);
        error->field->setFocus();
        return;
    }
    m_runLog = runLog;
    m_alarms = alarmSettings;
    m_mqtt = mqtt;
    QDialog::accept();
}

} // namespace preferences

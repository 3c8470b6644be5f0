#include "preferences/NetworkPage.h"

#include "platform/PrivateFile.h"
#include "preferences/FormRows.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace preferences {

NetworkPage::NetworkPage(QWidget* parent)
    : QWidget(parent)
{
    using telemetry::MqttValue;
    setObjectName(QStringLiteral("pageNetwork"));
    auto* form = new QFormLayout(this);

    m_enabled = addCheckRow(this, "chkMqtt", QStringLiteral("Публиковать показания на брокер MQTT"));

    m_host = addText("edtMqttHost", QStringLiteral("Брокер"), MqttValue::Host);
    m_host.edit->setPlaceholderText(QString::fromLatin1(telemetry::kDefaultHost));
    m_port = addText("edtMqttPort", QStringLiteral("Порт"), MqttValue::Port);
    m_port.edit->setPlaceholderText(QStringLiteral("%1, с сертификатом %2")
                                        .arg(telemetry::kPlainPort)
                                        .arg(telemetry::kTlsPort));
    m_bench = addText("edtMqttBench", QStringLiteral("Имя стенда"), MqttValue::Bench);
    m_prefix = addText("edtMqttPrefix", QStringLiteral("Префикс тем"), MqttValue::Prefix);
    m_prefix.edit->setPlaceholderText(QString::fromLatin1(telemetry::kDefaultPrefix));
    m_user = addText("edtMqttUser", QStringLiteral("Пользователь"), MqttValue::User);
    m_passwordFile = addFile("edtMqttPasswordFile", "btnMqttPasswordFile",
        QStringLiteral("Файл пароля"));
    m_caFile = addFile("edtMqttCaFile", "btnMqttCaFile", QStringLiteral("Сертификат ЦС (TLS)"));

    m_discovery = addCheckRow(
        this, "chkMqttDiscovery", QStringLiteral("Объявлять датчики для Home Assistant"));
    m_remoteLimits = addCheckRow(
        this, "chkMqttRemoteLimits", QStringLiteral("Принимать пределы регулятора по сети"));
    m_fields.push_back(m_discovery);
    m_fields.push_back(m_remoteLimits);

    auto* hint = new QLabel(QStringLiteral("Пароль хранится в отдельном файле, который может "
                                           "читать только его владелец."),
        this);
    hint->setWordWrap(true);
    form->addRow(hint);

    connect(m_enabled, &QCheckBox::toggled, this, &NetworkPage::showEnabled);
}

NetworkPage::TextField NetworkPage::addText(
    const char* name, const QString& label, telemetry::MqttValue kind)
{
    TextField field { new QLineEdit(this), label, kind };
    field.edit->setObjectName(QString::fromLatin1(name));
    formOf(this)->addRow(label, field.edit);
    m_fields.push_back(field.edit);
    return field;
}

NetworkPage::TextField NetworkPage::addFile(
    const char* name, const char* button, const QString& label)
{
    TextField field { new QLineEdit(this), label, telemetry::MqttValue::File };
    field.edit->setObjectName(QString::fromLatin1(name));
    auto* browse = new QPushButton(QStringLiteral("Выбрать…"), this);
    browse->setObjectName(QString::fromLatin1(button));
    auto* row = new QHBoxLayout;
    row->addWidget(field.edit, 1);
    row->addWidget(browse);
    formOf(this)->addRow(label, row);
    m_fields.push_back(field.edit);
    m_fields.push_back(browse);
    QLineEdit* edit = field.edit;
    connect(browse, &QPushButton::clicked, this, [this, edit, label] {
        const QString chosen = QFileDialog::getOpenFileName(this, label,
            QFileInfo(edit->text().trimmed()).absolutePath(), QString(), nullptr,
            QFileDialog::DontUseNativeDialog);
        if (!chosen.isEmpty())
            edit->setText(QDir::toNativeSeparators(chosen));
    });
    return field;
}

void NetworkPage::fill(const telemetry::MqttSettings& settings, const QString& defaultBench)
{
    m_enabled->setChecked(settings.Enabled);
    m_host.edit->setText(settings.Host);
    m_port.edit->setText(settings.Port > 0 ? QString::number(settings.Port) : QString());
    m_bench.edit->setText(settings.Bench);
    m_bench.edit->setPlaceholderText(defaultBench);
    m_prefix.edit->setText(settings.Prefix);
    m_user.edit->setText(settings.User);
    m_passwordFile.edit->setText(settings.PasswordFile);
    m_caFile.edit->setText(settings.CaFile);
    m_discovery->setChecked(settings.Discovery);
    m_remoteLimits->setChecked(settings.RemoteLimits);
    showEnabled();
}

std::optional<FieldError> NetworkPage::readText(const TextField& field, QString& value)
{
    const telemetry::ParsedMqttValue parsed = telemetry::parseMqttValue(field.edit->text(), field.kind);
    if (const auto* refused = std::get_if<telemetry::MqttRefusal>(&parsed))
        return FieldError { field.edit, QStringLiteral("%1: %2").arg(field.label, refused->reason) };
    value = std::get<QString>(parsed);
    return std::nullopt;
}

std::optional<FieldError> NetworkPage::read(telemetry::MqttSettings& settings) const
{
    telemetry::MqttSettings s;
    s.Enabled = m_enabled->isChecked();
    s.Discovery = m_discovery->isChecked();
    s.RemoteLimits = m_remoteLimits->isChecked();
    QString port;
    const std::pair<const TextField*, QString*> texts[] = {
        { &m_host, &s.Host },
        { &m_port, &port },
        { &m_bench, &s.Bench },
        { &m_prefix, &s.Prefix },
        { &m_user, &s.User },
        { &m_passwordFile, &s.PasswordFile },
        { &m_caFile, &s.CaFile },
    };
    for (const auto& [field, value] : texts) {
        if (auto error = readText(*field, *value))
            return error;
    }
    s.Port = port.toInt();
    // Said now rather than at the first connection, where only a message would tell of it.
    if (s.Enabled && !s.PasswordFile.isEmpty()) {
        const auto password = platform::readPrivateFile(s.PasswordFile);
        if (const auto* refused = std::get_if<platform::PrivateFileRefusal>(&password))
            return FieldError { m_passwordFile.edit,
                QStringLiteral("%1: %2").arg(m_passwordFile.label, refused->reason) };
    }
    settings = s;
    return std::nullopt;
}

void NetworkPage::showEnabled()
{
    const bool on = m_enabled->isChecked();
    for (QWidget* field : m_fields)
        field->setEnabled(on);
}

} // namespace preferences

#pragma once

#include "preferences/RunLogPage.h"
#include "telemetry/MqttSettings.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace preferences {

/**
 * The network's page: publishing the bench's readings to an MQTT broker. Each field is checked
 * as the settings file's key is; a password file is also opened and refused, with the reason,
 * when others than its owner may read it. The password itself is never asked for here: it
 * would end up in the settings file, which others may read.
 */
class NetworkPage : public QWidget {
    Q_OBJECT

public:
    explicit NetworkPage(QWidget* parent = nullptr);

    /** Shows @p settings; @p defaultBench is the bench's name while the field is left empty. */
    void fill(const telemetry::MqttSettings& settings, const QString& defaultBench);
    /** The settings the fields give, or the first field refused and why. */
    std::optional<FieldError> read(telemetry::MqttSettings& settings) const;

private:
    struct TextField {
        QLineEdit* edit = nullptr;
        QString label;
        telemetry::MqttValue kind = telemetry::MqttValue::Host;
    };
    TextField addText(const char* name, const QString& label, telemetry::MqttValue kind);
    TextField addFile(const char* name, const char* button, const QString& label);
    static std::optional<FieldError> readText(const TextField& field, QString& value);
    void showEnabled();

    QCheckBox* m_enabled;
    TextField m_host;
    TextField m_port;
    TextField m_bench;
    TextField m_prefix;
    TextField m_user;
    TextField m_passwordFile;
    TextField m_caFile;
    QCheckBox* m_discovery;
    QCheckBox* m_remoteLimits;
    std::vector<QWidget*> m_fields;
};

} // namespace preferences

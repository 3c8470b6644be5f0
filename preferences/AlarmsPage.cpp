#include "preferences/AlarmsPage.h"

#include "preferences/FormRows.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace preferences {

AlarmsPage::AlarmsPage(QWidget* parent)
    : QWidget(parent)
{
    using alarms::AlarmValue;
    setObjectName(QStringLiteral("pageAlarms"));
    auto* form = new QFormLayout(this);

    m_enabled = addCheckRow(this, "chkAlarms", QStringLiteral("Сигнализация включена"));

    m_high = addNumber("edtAlarmHigh", QStringLiteral("Выше, °C"), AlarmValue::Temperature);
    m_low = addNumber("edtAlarmLow", QStringLiteral("Ниже, °C"), AlarmValue::Temperature);

    m_band = addCheckRow(this, "chkAlarmBand", QStringLiteral("Вне пределов регулятора"));
    m_margin = addNumber("edtAlarmMargin", QStringLiteral("Запас, °C"), AlarmValue::Degrees);
    m_bandNote = new QLabel(this);
    m_bandNote->setObjectName(QStringLiteral("lblAlarmBand"));
    m_bandNote->setWordWrap(true);
    form->addRow(m_bandNote);

    m_stale = addNumber("edtAlarmStale", QStringLiteral("Нет показаний дольше, с"),
        AlarmValue::Seconds);
    m_delay = addNumber("edtAlarmDelay", QStringLiteral("Задержка, с"), AlarmValue::Seconds);
    m_hysteresis
        = addNumber("edtAlarmHysteresis", QStringLiteral("Гистерезис, °C"), AlarmValue::Degrees);

    m_sound = addCheckRow(
        this, "chkAlarmSound", QStringLiteral("Звуковой сигнал до подтверждения"));

    auto* hint = new QLabel(QStringLiteral("Пустое поле или 0 — правило выключено."), this);
    hint->setWordWrap(true);
    form->addRow(hint);

    connect(m_enabled, &QCheckBox::toggled, this, &AlarmsPage::showEnabled);
    connect(m_band, &QCheckBox::toggled, this, &AlarmsPage::showEnabled);
}

AlarmsPage::NumberField AlarmsPage::addNumber(
    const char* name, const QString& label, alarms::AlarmValue kind)
{
    NumberField field { new QLineEdit(this), label, kind };
    field.edit->setObjectName(QString::fromLatin1(name));
    formOf(this)->addRow(label, field.edit);
    return field;
}

void AlarmsPage::fill(const alarms::AlarmSettings& settings, bool bandActive)
{
    m_enabled->setChecked(settings.Enabled);
    m_high.edit->setText(alarms::alarmValueText(settings.High));
    m_low.edit->setText(alarms::alarmValueText(settings.Low));
    m_band->setChecked(settings.Band);
    m_margin.edit->setText(alarms::alarmValueText(settings.Margin));
    m_stale.edit->setText(alarms::alarmValueText(settings.Stale));
    m_delay.edit->setText(alarms::alarmValueText(settings.Delay));
    m_hysteresis.edit->setText(alarms::alarmValueText(settings.Hysteresis));
    m_sound->setChecked(settings.Sound);
    m_bandNote->setText(bandActive
            ? QStringLiteral("Пределы регулятора известны: правило следит за ними.")
            : QStringLiteral("Пределы регулятора ещё не отправлялись: правило не действует, "
                             "пока их не отправят."));
    showEnabled();
}

std::optional<FieldError> AlarmsPage::readNumber(
    const NumberField& field, std::optional<double>& value)
{
    // The settings file keeps "."; a "," as the Russian keyboard gives it is taken as well.
    QString text = field.edit->text();
    text.replace(u',', u'.');
    const alarms::ParsedValue parsed = alarms::parseAlarmValue(text, field.kind);
    if (const auto* reason = std::get_if<QString>(&parsed))
        return FieldError { field.edit, QStringLiteral("%1: %2").arg(field.label, *reason) };
    value = std::get<std::optional<double>>(parsed);
    return std::nullopt;
}

std::optional<FieldError> AlarmsPage::read(alarms::AlarmSettings& settings) const
{
    alarms::AlarmSettings s;
    s.Enabled = m_enabled->isChecked();
    s.Band = m_band->isChecked();
    s.Sound = m_sound->isChecked();
    const std::pair<const NumberField*, std::optional<double>*> numbers[] = {
        { &m_high, &s.High },
        { &m_low, &s.Low },
        { &m_margin, &s.Margin },
        { &m_stale, &s.Stale },
        { &m_delay, &s.Delay },
        { &m_hysteresis, &s.Hysteresis },
    };
    for (const auto& [field, value] : numbers) {
        if (auto error = readNumber(*field, *value))
            return error;
    }
    if (s.High && s.Low && *s.Low >= *s.High)
        return FieldError { m_low.edit,
            QStringLiteral("%1: порог должен быть ниже, чем «%2»")
                .arg(m_low.label, m_high.label) };
    settings = s;
    return std::nullopt;
}

void AlarmsPage::showEnabled()
{
    const bool on = m_enabled->isChecked();
    for (QWidget* field : { static_cast<QWidget*>(m_high.edit), static_cast<QWidget*>(m_low.edit),
             static_cast<QWidget*>(m_band), static_cast<QWidget*>(m_stale.edit),
             static_cast<QWidget*>(m_delay.edit), static_cast<QWidget*>(m_hysteresis.edit),
             static_cast<QWidget*>(m_sound) })
        field->setEnabled(on);
    m_margin.edit->setEnabled(on && m_band->isChecked());
}

} // namespace preferences

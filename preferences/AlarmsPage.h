#pragma once

#include "alarms/AlarmSettings.h"
#include "preferences/RunLogPage.h"

#include <QWidget>

#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace preferences {

/**
 * The alarms' page. Numbers are typed with "." or ","; an empty field or 0 is off. A value that
 * is no number or out of its range is refused with the reason, as is a lower threshold that is
 * not below the upper one.
 */
class AlarmsPage : public QWidget {
    Q_OBJECT

public:
    explicit AlarmsPage(QWidget* parent = nullptr);

    /** Shows @p settings; @p bandActive tells whether limits were ever sent for the band. */
    void fill(const alarms::AlarmSettings& settings, bool bandActive);
    /** The settings the fields give, or the first field refused and why. */
    std::optional<FieldError> read(alarms::AlarmSettings& settings) const;

private:
    struct NumberField {
        QLineEdit* edit = nullptr;
        QString label;
        alarms::AlarmValue kind = alarms::AlarmValue::Temperature;
    };
    NumberField addNumber(const char* name, const QString& label, alarms::AlarmValue kind);
    static std::optional<FieldError> readNumber(
        const NumberField& field, std::optional<double>& value);
    void showEnabled();

    QCheckBox* m_enabled;
    NumberField m_high;
    NumberField m_low;
    QCheckBox* m_band;
    NumberField m_margin;
    QLabel* m_bandNote;
    NumberField m_stale;
    NumberField m_delay;
    NumberField m_hysteresis;
    QCheckBox* m_sound;
};

} // namespace preferences

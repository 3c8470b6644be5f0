#pragma once

#include <QComboBox>

#include <cstdint>
#include <span>

namespace dialogs {

/** A colour the colour boxes offer: its name and its value (0x00BBGGRR, or 0xFF0000nn). */
struct NamedColor {
    const char* name;
    std::int32_t value;
};

/** The 50 colours of a colour box, in the order of its rows. */
std::span<const NamedColor> namedColors();

/**
 * A drop-down list of the named colours, each row a swatch and the colour's name; nothing can be
 * typed into it. It offers only these colours, but it keeps a value that is none of them: such a
 * value selects no row and reads back unchanged until the user picks a row.
 */
class ColorBox : public QComboBox {
    Q_OBJECT

public:
    static constexpr int kRowHeight = 16;

    explicit ColorBox(QWidget* parent = nullptr);

    /** Selects the first row with @p value; no row when none has it. */
    void setSelected(std::int32_t value);
    /** The selected row's value, or the value last set when no row is selected. */
    std::int32_t selected() const;

private:
    std::int32_t m_unlisted = 0;
};

} // namespace dialogs

#include "platform/SystemColors.h"

#include <QGuiApplication>
#include <QPalette>

#include <array>
#include <optional>

namespace platform {

namespace {

struct Role {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// Windows system colour index -> the palette role that plays the same part in a Qt style.
constexpr std::array<std::optional<Role>, kSystemColorCount> kRoles { {
    Role { QPalette::Active, QPalette::Button }, // 0 scroll bar
    Role { QPalette::Active, QPalette::Dark }, // 1 desktop
    Role { QPalette::Active, QPalette::Highlight }, // 2 active caption
    Role { QPalette::Inactive, QPalette::Mid }, // 3 inactive caption
    Role { QPalette::Active, QPalette::Window }, // 4 menu
    Role { QPalette::Active, QPalette::Base }, // 5 window
    Role { QPalette::Active, QPalette::Shadow }, // 6 window frame
    Role { QPalette::Active, QPalette::WindowText }, // 7 menu text
    Role { QPalette::Active, QPalette::WindowText }, // 8 window text
    Role { QPalette::Active, QPalette::HighlightedText }, // 9 caption text
    Role { QPalette::Active, QPalette::Button }, // 10 active border
    Role { QPalette::Inactive, QPalette::Button }, // 11 inactive border
    Role { QPalette::Active, QPalette::Mid }, // 12 application workspace
    Role { QPalette::Active, QPalette::Highlight }, // 13 highlight
    Role { QPalette::Active, QPalette::HighlightedText }, // 14 highlight text
    Role { QPalette::Active, QPalette::Button }, // 15 button face
    Role { QPalette::Active, QPalette::Dark }, // 16 button shadow
    Role { QPalette::Disabled, QPalette::WindowText }, // 17 grey text
    Role { QPalette::Active, QPalette::ButtonText }, // 18 button text
    Role { QPalette::Inactive, QPalette::WindowText }, // 19 inactive caption text
    Role { QPalette::Active, QPalette::Light }, // 20 button highlight
    Role { QPalette::Active, QPalette::Shadow }, // 21 3-D dark shadow
    Role { QPalette::Active, QPalette::Midlight }, // 22 3-D light
    Role { QPalette::Active, QPalette::ToolTipText }, // 23 tooltip text
    Role { QPalette::Active, QPalette::ToolTipBase }, // 24 tooltip background
    std::nullopt, // 25 has no colour
    Role { QPalette::Active, QPalette::Link }, // 26 hot-tracked item
    Role { QPalette::Active, QPalette::Highlight }, // 27 active caption gradient
    Role { QPalette::Inactive, QPalette::Mid }, // 28 inactive caption gradient
    Role { QPalette::Active, QPalette::Highlight }, // 29 menu highlight
    Role { QPalette::Active, QPalette::Window }, // 30 menu bar
} };

} // namespace

QColor colorFromValue(std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    if (value >= 0)
        return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
            static_cast<int>((bits >> 16) & 0xFF));
    const std::uint32_t index = bits & 0xFF;
    if (index >= kRoles.size() || !kRoles[index])
        return QColor(Qt::black);
    const QPalette palette = QGuiApplication::palette();
    return palette.color(kRoles[index]->group, kRoles[index]->role);
}

} // namespace platform

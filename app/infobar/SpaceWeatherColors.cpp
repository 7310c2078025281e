#include "infobar/SpaceWeatherColors.h"

#include "kit/PanelStyle.h"

#include <array>
#include <utility>

namespace SpaceWeatherColors {

QColor goodGreen() { return QColor::fromRgbF(0.4f, 0.85f, 0.45f); }
QColor yellowGreen() { return QColor::fromRgbF(0.75f, 0.9f, 0.35f); }

} // namespace SpaceWeatherColors

namespace {

using Step = std::pair<double, QColor>;

template <std::size_t N>
QColor walk(double value, const std::array<Step, N>& steps, const QColor& otherwise)
{
    for (const auto& [below, colour] : steps)
        if (value < below)
            return colour;
    return otherwise;
}

} // namespace

QColor kpColor(double kp)
{
    using namespace SpaceWeatherColors;
    return walk(kp,
                std::array { Step { 3, goodGreen() }, Step { 4, yellowGreen() }, Step { 5, PanelStyle::yellow() },
                             Step { 7, PanelStyle::orange() } },
                PanelStyle::red());
}

QColor aColor(double a)
{
    using namespace SpaceWeatherColors;
    return walk(a,
                std::array { Step { 8, goodGreen() }, Step { 16, yellowGreen() }, Step { 30, PanelStyle::yellow() },
                             Step { 50, PanelStyle::orange() } },
                PanelStyle::red());
}

QColor fluxColor(double flux)
{
    using namespace SpaceWeatherColors;
    return walk(flux,
                std::array { Step { 70, PanelStyle::red() }, Step { 90, PanelStyle::orange() },
                             Step { 120, PanelStyle::yellow() } },
                goodGreen());
}

QColor sunspotColor(double ssn)
{
    using namespace SpaceWeatherColors;
    return walk(ssn,
                std::array { Step { 25, PanelStyle::red() }, Step { 50, PanelStyle::orange() },
                             Step { 100, PanelStyle::yellow() } },
                goodGreen());
}

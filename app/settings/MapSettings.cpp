#include "settings/MapSettings.h"

#include "kit/MUFPalette.h"
#include "kit/MapStyle.h"
#include "map/MapOptions.h"
#include "settings/ColorButton.h"
#include "settings/LabeledSlider.h"
#include "settings/SettingControls.h"
#include "settings/SettingsColumns.h"
#include "settings/SettingsSection.h"
#include "spaceweather/MUFGrid.h"
#include "support/NumberText.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QLabel>
#include <QPushButton>

#include <cmath>

namespace {

QString fitTitle(MapFit fit)
{
    switch (fit) {
    case MapFit::whole:
        return QStringLiteral("Whole map");
    case MapFit::stretch:
        return QStringLiteral("Stretch");
    case MapFit::fill:
        break;
    }
    return QStringLiteral("Fill the window");
}

QString fitCaptionText(MapFit fit)
{
    switch (fit) {
    case MapFit::whole:
        return QStringLiteral("Keeps the true shape and shows the whole world, with bars at the sides or top and "
                              "bottom.");
    case MapFit::stretch:
        return QStringLiteral("Stretches the map to fill the whole window.");
    case MapFit::fill:
        break;
    }
    return QStringLiteral("Keeps the true shape and fills the window; the top and bottom (or the sides) are cut off. "
                          "Drag to see the rest.");
}

} // namespace

QString MapSettings::mufColorsWith(const QString& stored, int index, const QColor& color)
{
    QStringList texts = MUFPalette::fromHex(stored).hex;
    if (index >= 0 && index < texts.size())
        texts[index] = Color::hexString(color);
    return texts.join(QLatin1Char(','));
}

QString MapSettings::levelLabel(double mhz) { return NumberText::fixed(mhz, std::round(mhz) == mhz ? 0 : 1); }

MapSettings::MapSettings(QWidget* parent)
    : QWidget(parent)
{
    m_columns = SettingsColumns::fill(this,
                                      {
                                          { mapSection(), 3 },
                                          { dayNightSection(), 3 },
                                          { overlaySection(), 3 },
                                          { mufColorSection(), 3 },
                                          { zoneSection(), 3 },
                                      });
}

QWidget* MapSettings::mapSection()
{
    auto* section = new SettingsSection(QStringLiteral("Map"));

    auto* style
        = new SettingComboBox(SettingKeys::mapStyle,
                              SettingChoices::ofCases(MapStyles::allCases(), &MapStyles::title, &MapStyles::rawValue));
    style->showUnknownAsDefault();
    section->addRow(QStringLiteral("Style"), style);

    auto* fit = new SettingComboBox(SettingKeys::mapFit,
                                    SettingChoices::ofCases(MapFits::allCases(), &fitTitle, &MapFits::rawValue));
    fit->showUnknownAsDefault();
    section->addRow(QStringLiteral("Map size"), fit);

    m_fitCaption = SettingsText::caption(QString());
    section->addRow(m_fitCaption);
    refreshFitCaption();
    SettingBinding::follow(this, SettingKeys::mapFit.name, [this] { refreshFitCaption(); });

    // An empty text follows the style's own border colour; a picked colour
    // stays put across styles until the reset empties the text again.
    const ColorButton::Binding border {
        [] {
            const Settings& settings = Settings::standard();
            const QString stored = settings.get(SettingKeys::borderColor);
            return stored.isEmpty() ? MapStyles::border(MapOptions::style(settings)) : Color::fromHex(stored);
        },
        [](const QColor& color) { Settings::standard().set(SettingKeys::borderColor, Color::hexString(color)); },
        { SettingKeys::borderColor.name, SettingKeys::mapStyle.name },
    };
    section->addRow(QStringLiteral("Border colour"), new ColorButton(border, ColorButton::Opacity::offered),
                                   Qt::AlignRight);
    section->addRow(
        new LabeledSlider(QStringLiteral("Border strength"), SettingKeys::borderWidth, QStringLiteral("%.1f pt")));
    section->addRow(new SettingCheckBox(SettingKeys::bordersOverMUF, QStringLiteral("Draw borders over the MUF map")));

    const QString resetTitle = QStringLiteral("Reset borders");
    QPushButton* reset = SettingBinding::resetButton(resetTitle, SettingKeys::borderColor, SettingKeys::borderWidth,
                                                     SettingKeys::bordersOverMUF);
    section->addRow(reset, Qt::AlignLeft);
    section->addRow(SettingsText::caption(
        QStringLiteral("Coastlines and country borders. \"Outline (borders only)\" is a grey map with no land colour, "
                       "good under the MUF map.")));
    return section;
}

QWidget* MapSettings::dayNightSection()
{
    auto* section = new SettingsSection(QStringLiteral("Day and night"));
    section->addRow(
        new LabeledSlider(QStringLiteral("Night darkness"), SettingKeys::nightIntensity, QStringLiteral("%.0f%%")));
    section->addRow(
        new LabeledSlider(QStringLiteral("Greyline glow"), SettingKeys::greylineGlow, QStringLiteral("%.0f%%")));
    const QString resetTitle = QStringLiteral("Reset day/night");
    QPushButton* reset
        = SettingBinding::resetButton(resetTitle, SettingKeys::nightIntensity, SettingKeys::greylineGlow);
    section->addRow(reset, Qt::AlignLeft);
    section->setFooter({
        QStringLiteral("The day/night shading is calculated on this computer from the Sun's position (NOAA solar "
                       "equations), so it needs no internet connection. The shading deepens through twilight and is "
                       "darkest where the Sun is more than 18° below the horizon."),
    });
    return section;
}

QWidget* MapSettings::overlaySection()
{
    auto* section = new SettingsSection(QStringLiteral("Overlays"));
    section->addRow(
        new LabeledSlider(QStringLiteral("Aurora intensity"), SettingKeys::auroraOpacity, QStringLiteral("%.0f%%")));
    section->addRow(SettingsText::caption(
        QStringLiteral("Above 100% the aurora colours get stronger and fainter areas show more clearly.")));
    section->addRow(
        new LabeledSlider(QStringLiteral("MUF shading"), SettingKeys::mufOpacity, QStringLiteral("%.0f%%")));
    section->addRow(new SettingCheckBox(SettingKeys::mufContours, QStringLiteral("MUF contour lines with labels")));
    section->addRow(new SettingCheckBox(SettingKeys::mufBanded,
                                        QStringLiteral("MUF shading in flat bands (one colour per band range)")));
    return section;
}

QWidget* MapSettings::mufColorSection()
{
    auto* section = new SettingsSection(QStringLiteral("MUF colours"));
    for (int index = 0; index < int(MUFGrid::levels.size()); ++index) {
        const ColorButton::Binding level {
            [index] { return MUFPalette::fromHex(Settings::standard().get(SettingKeys::mufColors)).colors[index]; },
            [index](const QColor& color) {
                Settings& settings = Settings::standard();
                settings.set(SettingKeys::mufColors, mufColorsWith(settings.get(SettingKeys::mufColors), index, color));
            },
            { SettingKeys::mufColors.name },
        };
        section->addRow(levelLabel(MUFGrid::levels[size_t(index)])
                        + QStringLiteral(" MHz"), new ColorButton(level, ColorButton::Opacity::none), Qt::AlignRight);
    }
    QPushButton* reset = SettingBinding::resetButton(QStringLiteral("Reset MUF colours"), SettingKeys::mufColors);
    section->addRow(reset, Qt::AlignLeft);
    return section;
}

QWidget* MapSettings::zoneSection()
{
    auto* section = new SettingsSection(QStringLiteral("CQ and ITU zones"));
    section->addRow(QStringLiteral("CQ zone colour"), new ColorButton(SettingKeys::cqZoneColor, ColorButton::Opacity::none), Qt::AlignRight);
    section->addRow(QStringLiteral("ITU zone colour"), new ColorButton(SettingKeys::ituZoneColor, ColorButton::Opacity::none), Qt::AlignRight);
    section->addRow(
        new LabeledSlider(QStringLiteral("Boundary lines"), SettingKeys::zoneLineOpacity, QStringLiteral("%.0f%%")));
    return section;
}

void MapSettings::refreshFitCaption() { m_fitCaption->setText(fitCaptionText(MapOptions::fit(Settings::standard()))); }

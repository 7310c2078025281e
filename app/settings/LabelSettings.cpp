#include "settings/LabelSettings.h"

#include "kit/LabelFonts.h"
#include "map/BaseMapLayer.h"
#include "map/MapOptions.h"
#include "settings/ColorButton.h"
#include "settings/LabelPreview.h"
#include "settings/LabeledSlider.h"
#include "settings/SettingControls.h"
#include "settings/SettingsColumns.h"
#include "settings/SettingsSection.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace {

// The clock preview never grows past this, however large the clocks are.
constexpr double largestClockPreview = 48;

// The zone preview keeps the default CQ zone colour whatever the Map tab
// holds: it shows the font, not the zone colours.
QColor zonePreviewColor() { return Color::fromHex(QString::fromUtf8(SettingKeys::cqZoneColor.fallback)); }

} // namespace

LabelSettings::LabelSettings(QWidget* parent)
    : QWidget(parent)
{
    // Grid numbers first, then prefixes, zones and clocks; the map style
    // stays.
    const QString title = QStringLiteral("Reset labels");
    m_reset
        = SettingBinding::resetButton(title, SettingKeys::gridFontFamily, SettingKeys::gridFontSize,
                                      SettingKeys::gridLabelColor, SettingKeys::prefixFontFamily,
                                      SettingKeys::prefixFontSize, SettingKeys::prefixFontBold,
                                      SettingKeys::prefixColor, SettingKeys::zoneFontFamily, SettingKeys::zoneFontSize,
                                      SettingKeys::zoneFontBold, SettingKeys::clockFontFamily,
                                      SettingKeys::clockFontSize, SettingKeys::clockFontBold,
                                      SettingKeys::clockShowSeconds, SettingKeys::clockFontColor);
    auto* resetItem = new QWidget;
    auto* resetRow = new QHBoxLayout(resetItem);
    resetRow->setContentsMargins(0, 0, 0, 0);
    resetRow->addWidget(m_reset);
    resetRow->addStretch(1);

    m_columns = SettingsColumns::fill(this,
                                      {
                                          { clockSection(), 3 },
                                          { prefixSection(), 3 },
                                          { zoneSection(), 3 },
                                          { gridSection(), 3 },
                                          { resetItem, 3 },
                                      });
}

QWidget* LabelSettings::clockSection()
{
    auto* section = new SettingsSection(QStringLiteral("Clocks"));
    section->addRow(QStringLiteral("Font"), new FontPicker(SettingKeys::clockFontFamily));
    // An empty text is white on the clock cards, so the well shows white.
    const ColorButton::Binding colour {
        [] {
            const QString stored = Settings::standard().get(SettingKeys::clockFontColor);
            return stored.isEmpty() ? QColor(Qt::white) : Color::fromHex(stored);
        },
        [](const QColor& color) { Settings::standard().set(SettingKeys::clockFontColor, Color::hexString(color)); },
        { SettingKeys::clockFontColor.name },
    };
    section->addRow(QStringLiteral("Colour"), new ColorButton(colour, ColorButton::Opacity::none), Qt::AlignRight);
    section->addRow(new LabeledSlider(QStringLiteral("Size"), SettingKeys::clockFontSize, QStringLiteral("%.0f pt")));
    section->addRow(new SettingCheckBox(SettingKeys::clockFontBold, QStringLiteral("Bold")));
    section->addRow(new SettingCheckBox(SettingKeys::clockShowSeconds, QStringLiteral("Show seconds")));

    // Seconds always, whatever the clocks show; an empty colour is the
    // window's own text colour here, as on the sun card.
    m_clockPreview
        = new LabelPreview(LabelPreview::Kind::clock,
                           QStringLiteral("12:34:56"),
                                          [] {
                                              const Settings& settings = Settings::standard();
                                              const QString stored = settings.get(SettingKeys::clockFontColor);
                                              return LabelPreview::Look {
                                                  clockDisplayFont(settings.get(SettingKeys::clockFontFamily),
                                                                   std::min(settings.get(SettingKeys::clockFontSize),
                                                                            largestClockPreview),
                                                                   settings.get(SettingKeys::clockFontBold)),
                                                  stored.isEmpty() ? QColor() : Color::fromHex(stored),
                                              };
                                          },
                                          { SettingKeys::clockFontFamily.name, SettingKeys::clockFontSize.name,
                                            SettingKeys::clockFontBold.name, SettingKeys::clockFontColor.name });
    section->addRow(m_clockPreview);
    section->addRow(SettingsText::caption(QStringLiteral(
        "The 24-hour switch is on the Station tab. Sunrise and sunset use the same font at 3/4 size.")));
    return section;
}

QWidget* LabelSettings::prefixSection()
{
    auto* section = new SettingsSection(QStringLiteral("Callsign prefixes"));
    section->addRow(QStringLiteral("Font"), new FontPicker(SettingKeys::prefixFontFamily));
    section->addRow(new LabeledSlider(QStringLiteral("Size"), SettingKeys::prefixFontSize, QStringLiteral("%.0f pt")));
    section->addRow(new SettingCheckBox(SettingKeys::prefixFontBold, QStringLiteral("Bold")));
    section->addRow(QStringLiteral("Colour"), new ColorButton(SettingKeys::prefixColor, ColorButton::Opacity::offered),
                                   Qt::AlignRight);
    m_prefixPreview
        = new LabelPreview(LabelPreview::Kind::mapLabel,
                           QStringLiteral("K  DL  JA  VK  LY  PY"),
                                          [] {
                                              const Settings& settings = Settings::standard();
                                              return LabelPreview::Look {
                                                  labelFont(settings.get(SettingKeys::prefixFontFamily),
                                                            settings.get(SettingKeys::prefixFontSize),
                                                            settings.get(SettingKeys::prefixFontBold)),
                                                  Color::fromHex(settings.get(SettingKeys::prefixColor)),
                                              };
                                          },
                                          { SettingKeys::prefixFontFamily.name, SettingKeys::prefixFontSize.name,
                                            SettingKeys::prefixFontBold.name, SettingKeys::prefixColor.name });
    section->addRow(m_prefixPreview);
    return section;
}

QWidget* LabelSettings::zoneSection()
{
    auto* section = new SettingsSection(QStringLiteral("Zone numbers"));
    section->addRow(QStringLiteral("Font"), new FontPicker(SettingKeys::zoneFontFamily));
    section->addRow(new LabeledSlider(QStringLiteral("Size"), SettingKeys::zoneFontSize, QStringLiteral("%.0f pt")));
    section->addRow(new SettingCheckBox(SettingKeys::zoneFontBold, QStringLiteral("Bold")));
    section->addRow(SettingsText::caption(QStringLiteral("Zone colours are under Map.")));
    m_zonePreview = new LabelPreview(LabelPreview::Kind::mapLabel,
                                     QStringLiteral("14  15  16  29"),
                                                    [] {
                                                        const Settings& settings = Settings::standard();
                                                        return LabelPreview::Look {
                                                            labelFont(settings.get(SettingKeys::zoneFontFamily),
                                                                      settings.get(SettingKeys::zoneFontSize),
                                                                      settings.get(SettingKeys::zoneFontBold)),
                                                            zonePreviewColor(),
                                                        };
                                                    },
                                                    { SettingKeys::zoneFontFamily.name, SettingKeys::zoneFontSize.name,
                                                      SettingKeys::zoneFontBold.name });
    section->addRow(m_zonePreview);
    return section;
}

QWidget* LabelSettings::gridSection()
{
    auto* section = new SettingsSection(QStringLiteral("Lat/long numbers"));
    section->addRow(QStringLiteral("Font"), new FontPicker(SettingKeys::gridFontFamily));
    section->addRow(new LabeledSlider(QStringLiteral("Size"), SettingKeys::gridFontSize, QStringLiteral("%.0f pt")));
    // An empty text is the map's own choice for the style: the well and
    // the preview show that, and follow a style changed elsewhere.
    const auto shown = [] {
        const Settings& settings = Settings::standard();
        return gridLabelColor(settings.get(SettingKeys::gridLabelColor), MapOptions::style(settings));
    };
    const ColorButton::Binding colour {
        shown,
        [](const QColor& color) { Settings::standard().set(SettingKeys::gridLabelColor, Color::hexString(color)); },
        { SettingKeys::gridLabelColor.name, SettingKeys::mapStyle.name },
    };
    section->addRow(QStringLiteral("Colour"), new ColorButton(colour, ColorButton::Opacity::offered), Qt::AlignRight);
    m_gridPreview = new LabelPreview(LabelPreview::Kind::mapLabel,
                                     QStringLiteral("30°N  60°E  0°  90°W"),
                                                    [shown] {
                                                        const Settings& settings = Settings::standard();
                                                        return LabelPreview::Look {
                                                            gridLabelFont(settings.get(SettingKeys::gridFontFamily),
                                                                          settings.get(SettingKeys::gridFontSize)),
                                                            shown()
                                                        };
                                                    },
                                                    { SettingKeys::gridFontFamily.name, SettingKeys::gridFontSize.name,
                                                      SettingKeys::gridLabelColor.name, SettingKeys::mapStyle.name });
    section->addRow(m_gridPreview);
    section->addRow(SettingsText::caption(QStringLiteral("The numbers along the edges when the lat/long grid is on.")));
    return section;
}

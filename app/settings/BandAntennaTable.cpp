#include "settings/BandAntennaTable.h"

#include "kit/SymbolIcons.h"
#include "prediction/SavedStationAntennas.h"
#include "settings/NumberField.h"
#include "settings/SettingControls.h"
#include "settings/SettingsSection.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace {

constexpr int heightFieldWidth = 52;
constexpr int gainFieldWidth = 56;

QLabel* headerText(const QString& text) { return SettingsText::caption(text); }

const QString what = QStringLiteral("antenna table");

} // namespace

double BandAntennaTable::clampedHeight(double metres)
{
    if (!(metres >= 0)) // below 0, or no number
        return 0;
    return metres > maxHeightM ? maxHeightM : metres;
}

BandAntennaTable::BandAntennaTable(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    m_unreadable = SettingBinding::unreadableNote(what, SettingKeys::stationBandAntennasUnreadable);
    layout->addWidget(m_unreadable);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(1, 1);
    const QStringList headers {
        QStringLiteral("Band"), QStringLiteral("Antenna"), QStringLiteral("Height (m)"), QStringLiteral("Gain (dBi)") };
    for (int c = 0; c < headers.size(); ++c)
        grid->addWidget(headerText(headers[c]), 0, c, Qt::AlignLeft | Qt::AlignVCenter);

    const QIcon chevron = SymbolIcons::bundled(QStringLiteral("chevron.down"));
    int gridRow = 1;
    for (const auto& entry : StationAntennas::bands) {
        Row row;
        row.band = entry.band;
        const QString band = title(entry.band);

        row.title = SettingsText::plain(band);
        row.title->setWordWrap(false);
        grid->addWidget(row.title, gridRow, 0);

        row.antenna = new FittingComboBox(this);
        row.antenna->setAccessibleName(QStringLiteral("Antenna on ") + band);
        row.antenna->setMinimumWidth(90);
        row.antenna->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        row.antenna->setMinimumContentsLength(10);
        for (const AntennaPreset preset : AntennaPresets::allCases)
            row.antenna->addItem(::title(preset), rawValue(preset));
        grid->addWidget(row.antenna, gridRow, 1);

        row.heightCell = new QWidget(this);
        auto* heightLayout = new QHBoxLayout(row.heightCell);
        heightLayout->setContentsMargins(0, 0, 0, 0);
        heightLayout->setSpacing(2);
        row.height = new NumberField(1, row.heightCell);
        row.height->setAccessibleName(QStringLiteral("Height on ") + band);
        row.height->setAlignment(Qt::AlignRight);
        row.height->setFixedWidth(heightFieldWidth);
        heightLayout->addWidget(row.height);
        row.heightMenuButton = new QToolButton(row.heightCell);
        row.heightMenuButton->setAutoRaise(true);
        row.heightMenuButton->setIcon(chevron);
        row.heightMenuButton->setAccessibleName(QStringLiteral("Heights on ") + band);
        row.heightMenuButton->setToolTip(QStringLiteral("Choose a height"));
        heightLayout->addWidget(row.heightMenuButton);
        row.heightMenu = new QMenu(row.heightMenuButton);
        for (const int metres : heightPresets)
            row.heightMenu->addAction(QString::number(metres)
                                      + QStringLiteral(" m"), this, [this, b = entry.band, metres] {
                                            edit(b, [metres](BandAntenna& a) { a.heightM = clampedHeight(metres); });
                                        });
        connect(row.heightMenuButton, &QToolButton::clicked, row.heightMenu,
                [button = row.heightMenuButton, menu = row.heightMenu] {
                    menu->popup(button->mapToGlobal(QPoint(0, button->height())));
                });
        heightLayout->addStretch(1);
        grid->addWidget(row.heightCell, gridRow, 2);

        row.noHeight = SettingsText::caption(QStringLiteral("–"));
        grid->addWidget(row.noHeight, gridRow, 2);

        row.gain = new NumberField(1, this);
        row.gain->setAccessibleName(QStringLiteral("Gain on ") + band);
        row.gain->setAlignment(Qt::AlignRight);
        row.gain->setFixedWidth(gainFieldWidth);
        grid->addWidget(row.gain, gridRow, 3, Qt::AlignLeft);

        connect(row.antenna, &QComboBox::currentIndexChanged, this, [this, b = entry.band](int index) {
            if (index < 0 || index >= int(AntennaPresets::allCases.size()))
                return;
            edit(b, [index](BandAntenna& a) { a.type = AntennaPresets::allCases[index]; });
        });
        connect(row.height, &NumberField::committed, this, [this, b = entry.band](double metres) {
            edit(b, [metres](BandAntenna& a) { a.heightM = clampedHeight(metres); });
        });
        connect(row.gain, &NumberField::committed, this,
                [this, b = entry.band](double dBi) { edit(b, [dBi](BandAntenna& a) { a.gainDBi = dBi; }); });

        m_rows.append(row);
        ++gridRow;
        if (!StationAntennas::isPredicted(entry.band))
            grid->addWidget(SettingsText::caption(QStringLiteral("6 m: not predicted (above 30 MHz)")), gridRow++, 0, 1,
                                                  4);
    }
    layout->addLayout(grid);

    m_copy = new QPushButton(QStringLiteral("Copy the first row to all bands"), this);
    connect(m_copy, &QPushButton::clicked, this, [this] { write(decoded().copyingFirstRowToAll()); });
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_copy);
    buttonRow->addStretch(1);
    layout->addLayout(buttonRow);

    keepUnreadable();
    reload();
    const auto follow = [this] {
        keepUnreadable();
        reload();
    };
    SettingBinding::follow(this, SettingKeys::stationBandAntennas.name, follow);
    // The fallback antenna comes from these two.
    SettingBinding::follow(this, SettingKeys::stationAntenna.name, follow);
    SettingBinding::follow(this, SettingKeys::stationCustomGainDBi.name, follow);
}

const BandAntennaTable::Row& BandAntennaTable::row(Band band) const
{
    for (const Row& r : m_rows)
        if (r.band == band)
            return r;
    return m_rows.first();
}

StationAntennas BandAntennaTable::decoded() const
{
    const Settings& settings = Settings::standard();
    return savedStationAntennas(settings.get(SettingKeys::stationBandAntennas), settings);
}

void BandAntennaTable::edit(Band band, const std::function<void(BandAntenna&)>& change)
{
    StationAntennas table = decoded();
    BandAntenna antenna = table[band];
    change(antenna);
    // A number that JSON cannot hold would drop the band from the text.
    if (!std::isfinite(antenna.heightM) || !std::isfinite(antenna.gainDBi)) {
        reload();
        return;
    }
    table.set(band, antenna);
    write(table);
}

void BandAntennaTable::write(const StationAntennas& table)
{
    const QString text = table.encoded();
    // "{}" holds no band at all: writing it would replace every antenna by
    // the fallback.
    if (text == QLatin1String("{}")) {
        reload();
        return;
    }
    keepUnreadable();
    Settings::standard().set(SettingKeys::stationBandAntennas, text);
}

void BandAntennaTable::keepUnreadable()
{
    if (SettingBinding::keepUnreadable(SettingKeys::stationBandAntennas, SettingKeys::stationBandAntennasUnreadable,
                                       what, &StationAntennas::decodes))
        m_unreadable->show();
}

void BandAntennaTable::reload()
{
    const StationAntennas table = decoded();
    for (const Row& row : std::as_const(m_rows)) {
        const BandAntenna antenna = table[row.band];
        {
            const QSignalBlocker quiet(row.antenna);
            row.antenna->setCurrentIndex(
                int(std::ranges::find(AntennaPresets::allCases, antenna.type) - AntennaPresets::allCases.begin()));
        }
        const bool height = usesHeight(antenna.type);
        row.heightCell->setVisible(height);
        row.noHeight->setVisible(!height);
        row.height->setValue(antenna.heightM);
        row.gain->setVisible(antenna.type == AntennaPreset::custom);
        row.gain->setValue(antenna.gainDBi);
    }
}

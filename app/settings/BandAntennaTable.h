#pragma once

#include "cluster/Band.h"
#include "prediction/StationAntennas.h"

#include <QList>
#include <QWidget>

#include <array>
#include <functional>

class NumberField;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QToolButton;

// The antenna on each band, edited in the stored table of
// SettingKeys::stationBandAntennas. The stored text is the only copy: every
// row is read from it, and every edit decodes it, changes one field of one
// band and writes the whole table (all eleven bands) back. When the text
// changes, here or elsewhere, the rows follow.
//
// A stored text that does not decode shows the fallback antenna on every
// band, and the first edit would replace it; so before anything is written
// the text is copied aside (SettingKeys::stationBandAntennasUnreadable), a
// line is logged and a note says so above the table.
class BandAntennaTable : public QWidget {
    Q_OBJECT
public:
    // The heights the menu beside each height field offers, in metres.
    static constexpr std::array<int, 7> heightPresets { 5, 10, 15, 20, 25, 30, 40 };
    static constexpr double maxHeightM = 300;

    explicit BandAntennaTable(QWidget* parent = nullptr);

    struct Row {
        Band band;
        QLabel* title = nullptr;
        QComboBox* antenna = nullptr;  // the presets, in their order
        QWidget* heightCell = nullptr; // the field and its menu, for kinds with a height
        NumberField* height = nullptr;
        QToolButton* heightMenuButton = nullptr;
        QMenu* heightMenu = nullptr;
        QLabel* noHeight = nullptr;  // "–" for the others
        NumberField* gain = nullptr; // for "Other" only
    };
    const Row& row(Band band) const;
    QPushButton* copyButton() const { return m_copy; }
    QLabel* unreadableNote() const { return m_unreadable; }

    // A height as stored: limited to 0...300 m, NaN as 0.
    static double clampedHeight(double metres);

private:
    StationAntennas decoded() const;
    // One edit cycle: decode, change one band, write the whole table.
    void edit(Band band, const std::function<void(BandAntenna&)>& change);
    void write(const StationAntennas& table);
    void keepUnreadable();
    void reload();

    QList<Row> m_rows;
    QPushButton* m_copy = nullptr;
    QLabel* m_unreadable = nullptr;
};

#pragma once

#include "geo/GeoMath.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class SettingsColumns;

// The Station tab: who and where the operator is and what station the
// predictions assume. Every control is bound to one settings key; the tab
// neither validates nor normalises what it stores (only numbers that are
// not finite are refused) and calls no store: the map, the info bar and the
// cluster client follow the keys themselves.
//
// The locator field is view state: filled from the stored position each
// time the tab is shown, and applied on Return or "Use locator".
class StationSettings : public QWidget {
    Q_OBJECT
public:
    explicit StationSettings(QWidget* parent = nullptr);

    // The caption under the coordinates: "Locator KO24pq · CQ zone 15 · ITU
    // zone 29", with "–" for a zone that holds no point.
    static QString homeSummary(const GeoCoordinate& home);
    // Degrees rounded to 4 decimals, halves away from zero.
    static double roundedDegrees(double degrees);

    // Stores the centre of the typed locator's square, or shows the error
    // and changes nothing.
    void applyLocator();

    QLineEdit* locatorField() const { return m_locator; }
    QPushButton* useLocatorButton() const { return m_useLocator; }
    QLabel* locatorError() const { return m_locatorError; }
    QLabel* summary() const { return m_summary; }
    QLabel* engineNote() const { return m_engineNote; }
    SettingsColumns* columns() const { return m_columns; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* stationSection();
    QWidget* predictionSection();
    QWidget* antennaSection();
    QWidget* clockSection();
    void refreshSummary();
    void refreshEngineNote();

    QLineEdit* m_locator = nullptr;
    QPushButton* m_useLocator = nullptr;
    QLabel* m_locatorError = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_engineNote = nullptr;
    SettingsColumns* m_columns = nullptr;
};

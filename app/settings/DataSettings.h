#pragma once

#include <QString>
#include <QWidget>

#include <optional>

class QLabel;
class SettingsColumns;
class SpaceWeatherStore;

// The Data tab: where the space weather indices and the MUF readings come
// from and how often they are refreshed, the error line of the last
// refresh, and the credits of the data providers.
//
// The store reads the keys itself at each refresh, but it does not watch
// them: a new source refreshes at once, a new interval restarts the loop.
// Both happen on a change of the stored value only, never when the tab is
// made, and also when the key was changed elsewhere while the tab exists.
class DataSettings : public QWidget {
    Q_OBJECT
public:
    // Without a store (tests of the layout alone) the pickers only write
    // their keys.
    explicit DataSettings(SpaceWeatherStore* spaceWeather, QWidget* parent = nullptr);

    // "Zelq (" and the ionosonde service's host name ")".
    static QString zelqTitle();

    QLabel* errorLine() const { return m_error; }
    SettingsColumns* columns() const { return m_columns; }

private:
    QWidget* sourceSection();
    void refreshErrorLine();
    void indexSourceChanged();
    void mufSourceChanged();
    void refreshMinutesChanged();

    SpaceWeatherStore* m_spaceWeather;
    QLabel* m_error = nullptr;
    SettingsColumns* m_columns = nullptr;
    QString m_indexSource;
    QString m_mufSource;
    std::optional<qint64> m_refreshMinutes;
};

#pragma once

#include <QObject>

// The space weather store: holds the latest snapshot and refreshes it.
// For now a shell that starts nothing; its refresh loop comes later.
class SpaceWeatherStore : public QObject {
    Q_OBJECT
public:
    explicit SpaceWeatherStore(QObject* parent = nullptr);

    // Asks for a refresh now (the menu command, the toolbar button).
    void refresh();
};

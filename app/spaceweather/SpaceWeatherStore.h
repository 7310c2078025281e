#pragma once

#include <QObject>
#include <QString>

#include <optional>

// The space weather store: holds the latest snapshot and refreshes it.
// For now a shell that starts nothing; its refresh loop comes later.
class SpaceWeatherStore : public QObject {
    Q_OBJECT
public:
    explicit SpaceWeatherStore(QObject* parent = nullptr);

    // Asks for a refresh now (the menu command, the toolbar button).
    void refresh();

    // True while a refresh runs.
    bool isLoading() const { return m_isLoading; }
    // The line naming the feeds that failed in the last refresh; none after
    // a refresh without failure.
    const std::optional<QString>& lastError() const { return m_lastError; }

Q_SIGNALS:
    void isLoadingChanged();
    void lastErrorChanged();

protected:
    // Only the store's own refresh sets these; each notifies on a change.
    void setLoading(bool loading);
    void setLastError(const std::optional<QString>& error);

private:
    bool m_isLoading = false;
    std::optional<QString> m_lastError;
};

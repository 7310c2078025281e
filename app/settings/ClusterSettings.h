#pragma once

#include "cluster/ClusterNode.h"

#include <QWidget>

#include <optional>

class DXClusterClient;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class SettingComboBox;
class SettingsColumns;
class SettingsSection;
class StatusDot;

// The Cluster tab: whether and where the application connects, what the map
// shows of the spots, the logbook that decides which countries are needed,
// the watched calls, the alerts, the login commands and the country file.
//
// The controls only write their keys; the cluster client follows them on its
// own (0.8 s after the last change, reconnecting only when the connection
// settings changed). The custom address and the login commands are stored
// when their edit ends, so the client never connects to a half-typed host.
// The tab calls the client for "Reconnect", the ADIF import, removing the
// logbook and updating the country file, and shows its status, the node's
// last lines, the logbook's summary and the country file's state.
//
// The import's result line and the update's busy state are view state: they
// go with the tab.
class ClusterSettings : public QWidget {
    Q_OBJECT
public:
    // The node log shows this many of the client's last lines.
    static constexpr int shownLogLines = 25;

    explicit ClusterSettings(DXClusterClient* cluster, QWidget* parent = nullptr);

    // A preset as the node picker lists it: "NAME  host:port".
    static QString nodeTitle(const ClusterNode& node);

    // "log.adi: 1234 QSOs, 150 countries worked, 120 confirmed", with
    // " (rough until the country file is downloaded)" while only the
    // built-in list matches calls; "No log imported" without a logbook.
    QString logSummary() const;
    // "346 entities, 7 Dec 2026", or "Not downloaded yet (using a built-in
    // list)" while no full country file is in use.
    QString countryFileText() const;

    // Hands an ADIF file to the client and shows what came of it: "Read N
    // QSOs from NAME." or the client's message, a failure to save included.
    void importFrom(const QString& path);

    SettingsColumns* columns() const { return m_columns; }
    QWidget* addressField() const { return m_address; }
    QLabel* loginAs() const { return m_loginAs; }
    StatusDot* statusDot() const { return m_dot; }
    QLabel* statusText() const { return m_status; }
    QPushButton* reconnectButton() const { return m_reconnect; }
    QToolButton* nodeLogToggle() const { return m_logToggle; }
    QPlainTextEdit* nodeLog() const { return m_log; }
    QLabel* neededNote() const { return m_neededNote; }
    QCheckBox* bandBox(int metres) const;
    QLabel* summary() const { return m_summary; }
    QPushButton* importButton() const { return m_import; }
    QPushButton* removeButton() const { return m_remove; }
    QLabel* importMessage() const { return m_importMessage; }
    QLabel* countryFileLabel() const { return m_countryFile; }
    QPushButton* updateButton() const { return m_update; }

private:
    // Pickers with long rows (node addresses) take the column's width
    // instead of widening the column to their longest row.
    static SettingComboBox* compact(SettingComboBox* picker);

    QWidget* connectionSection();
    QWidget* displaySection();
    QWidget* dxccSection();
    QWidget* watchSection();
    QWidget* alertsSection();
    QWidget* advancedSection();

    void refreshNodeRows();
    void refreshLoginAs();
    void refreshStatus();
    void refreshNodeLog();
    void showNewestLines();
    void refreshBands();
    void refreshNeededNote();
    void refreshLogbook();
    void refreshCountryFile();
    void setBand(int metres, bool on);
    void chooseADIF();
    void showImportMessage(const std::optional<QString>& message);
    void updateCountries();

    DXClusterClient* m_cluster;
    SettingsColumns* m_columns = nullptr;
    SettingsSection* m_connection = nullptr;
    QWidget* m_address = nullptr;
    QLabel* m_loginAs = nullptr;
    StatusDot* m_dot = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_reconnect = nullptr;
    QToolButton* m_logToggle = nullptr;
    QPlainTextEdit* m_log = nullptr;
    QLabel* m_neededNote = nullptr;
    QList<QCheckBox*> m_bands;
    QLabel* m_summary = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_remove = nullptr;
    QLabel* m_importMessage = nullptr;
    QLabel* m_countryFile = nullptr;
    QPushButton* m_update = nullptr;
    bool m_updatingCountries = false;
};

#pragma once

#include "rotator/RotatorConfig.h"
#include "rotator/SerialPorts.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QTimer>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <optional>

class ColorButton;
class NumberField;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QToolButton;
class RotatorManager;
class SettingsColumns;
class SettingsSection;
class StatusDot;

// The Rotators tab: the configured rotators, one of them open for editing
// (its connection and its antenna), and its live status from the manager.
//
// The tab works on its own copy of the stored list, read when it is made,
// and writes the whole list back on every change (each keystroke, each
// slider step); the manager follows the stored list. Nothing is written
// when the tab is only shown.
//
// A stored list that does not decode would show as no rotators, and the
// first change would write over every configured one; so before anything
// is written the text is copied aside (SettingKeys::rotatorsUnreadable), a
// line is logged and a note says so.
//
// While the tab is shown the serial ports are listed again every 2 s; the
// port picker takes what their USB devices report again only when the list
// changed.
class RotatorSettings : public QWidget {
    Q_OBJECT
public:
    // Where the ports come from; the machine's by default.
    struct PortSource {
        std::function<QStringList()> ports;
        std::function<QHash<QString, SerialPortDescription>()> descriptions;

        static PortSource machine();
    };

    static constexpr int portCheckMilliseconds = 2000;
    static constexpr std::array<int, 6> speeds { 1200, 2400, 4800, 9600, 19200, 38400 };

    explicit RotatorSettings(RotatorManager* rotors, PortSource source = PortSource::machine(),
                             QWidget* parent = nullptr);

    // A new rotator's colour, by the number already in the list.
    static QString colorFor(qsizetype existing);

    const QList<RotatorConfig>& list() const { return m_list; }
    std::optional<QUuid> selected() const { return m_selected; }

    // Adds "Antenna N" and opens it; removes the open rotator.
    void addRotator();
    void removeSelected();
    // Lists the ports again; reads the USB descriptions only when the list
    // of paths changed.
    void refreshPorts();

    // The paths the port picker offers for a stored port: a configured port
    // that is not plugged in comes first.
    QStringList portChoices(const QString& current) const;
    // The port as the picker shows it, with " · used by " and the other
    // rotators on it.
    QString portLabel(const QString& path, const RotatorConfig& rotator) const;

    SettingsColumns* columns() const { return m_columns; }
    QTimer* portCheck() { return &m_portCheck; }
    QLabel* unreadableNote() const { return m_unreadable; }
    QLabel* emptyHint() const { return m_emptyHint; }
    QComboBox* rotatorPicker() const { return m_picker; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeButton() const { return m_remove; }
    QLineEdit* nameField() const { return m_name; }
    QComboBox* protocolPicker() const { return m_protocol; }
    QLineEdit* hostField() const { return m_host; }
    NumberField* tcpPortField() const { return m_tcpPort; }
    QComboBox* portPicker() const { return m_port; }
    QPushButton* refreshButton() const { return m_refresh; }
    QLabel* clashWarning() const { return m_clash; }
    QComboBox* speedPicker() const { return m_speed; }
    StatusDot* statusDot() const { return m_dot; }
    QLabel* statusText() const { return m_status; }
    QSlider* beamSlider() const { return m_beam; }
    QLabel* beamText() const { return m_beamText; }
    QComboBox* rangePicker() const { return m_range; }
    NumberField* offsetField() const { return m_offset; }
    QToolButton* offsetUp() const { return m_offsetUp; }
    QToolButton* offsetDown() const { return m_offsetDown; }
    ColorButton* colorWell() const { return m_color; }
    QCheckBox* longPathBox() const { return m_longPath; }
    QCheckBox* softStartBox() const { return m_softStart; }
    QLabel* softStartText() const { return m_softStartText; }
    QLabel* prosistelText() const { return m_prosistelText; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* rotatorsSection();
    QWidget* connectionSection();
    QWidget* antennaSection();

    std::optional<qsizetype> index() const;
    const RotatorConfig* current() const;
    // One change of the open rotator: applied to the working list, saved,
    // shown.
    void edit(const std::function<void(RotatorConfig&)>& change);
    void select(const std::optional<QUuid>& id);
    void save();
    void keepUnreadable();

    void refreshAll();
    void refreshPicker();
    void refreshEditors();
    void refreshProtocolRows();
    void refreshPortPicker();
    void refreshClash();
    void refreshStatus();
    void refreshBeam();

    RotatorManager* m_rotors;
    PortSource m_source;
    QList<RotatorConfig> m_list;
    std::optional<QUuid> m_selected;
    QStringList m_ports;
    QHash<QString, SerialPortDescription> m_usb;
    QTimer m_portCheck;
    bool m_loading = false;

    SettingsColumns* m_columns = nullptr;
    SettingsSection* m_connection = nullptr;
    QLabel* m_unreadable = nullptr;
    QLabel* m_emptyHint = nullptr;
    QComboBox* m_picker = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QLineEdit* m_name = nullptr;
    QComboBox* m_protocol = nullptr;
    QLineEdit* m_host = nullptr;
    NumberField* m_tcpPort = nullptr;
    QWidget* m_portRow = nullptr;
    QComboBox* m_port = nullptr;
    QPushButton* m_refresh = nullptr;
    QWidget* m_clashRow = nullptr;
    QLabel* m_clash = nullptr;
    QComboBox* m_speed = nullptr;
    StatusDot* m_dot = nullptr;
    QLabel* m_status = nullptr;
    QSlider* m_beam = nullptr;
    QLabel* m_beamText = nullptr;
    QComboBox* m_range = nullptr;
    NumberField* m_offset = nullptr;
    QToolButton* m_offsetUp = nullptr;
    QToolButton* m_offsetDown = nullptr;
    ColorButton* m_color = nullptr;
    QCheckBox* m_longPath = nullptr;
    QCheckBox* m_softStart = nullptr;
    QLabel* m_softStartText = nullptr;
    QLabel* m_prosistelText = nullptr;
};

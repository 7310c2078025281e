// The Rotators tab's connection section: the dialect, the serial port or
// the rotctld address, the ports on offer with the rotators already on them,
// and the live status.
#include "settings/RotatorSettings.h"

#include "kit/SymbolIcons.h"
#include "rotator/RotatorManager.h"
#include "settings/NumberField.h"
#include "settings/SettingControls.h"
#include "settings/SettingsSection.h"
#include "settings/StatusDot.h"
#include "support/NumberText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QString heading(double degrees) { return NumberText::fixed(degrees, 0, 3) + QStringLiteral("°"); }

// A whole number for the TCP port field, as near as an int holds it.
int wholeNumber(double value)
{
    const double rounded = std::round(value);
    return int(std::clamp(rounded, double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max())));
}

// The warning triangle in the warning colour.
QPixmap warningSign(int size)
{
    QPixmap sign = SymbolIcons::bundled(QStringLiteral("exclamationmark.triangle.fill")).pixmap(size, size);
    QPainter painter(&sign);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(sign.rect(), SettingsText::warning());
    return sign;
}

} // namespace

// Connection

QWidget* RotatorSettings::connectionSection()
{
    auto* section = new SettingsSection(QStringLiteral("Connection"));
    m_connection = section;

    m_name = new QLineEdit;
    m_name->setPlaceholderText(QStringLiteral("for example Yagi, Quad, 40 m beam"));
    connect(m_name, &QLineEdit::textEdited, this,
            [this](const QString& text) { edit([&](RotatorConfig& r) { r.name = text; }); });
    section->addRow(QStringLiteral("Antenna name"), m_name);

    m_protocol = new QComboBox;
    for (const RotatorProtocol proto : RotatorProtocols::allCases)
        m_protocol->addItem(title(proto), rawValue(proto));
    connect(m_protocol, &QComboBox::currentIndexChanged, this, [this](int row) {
        if (const auto proto = RotatorProtocols::fromRaw(m_protocol->itemData(row).toString()))
            edit([&](RotatorConfig& r) { r.proto = *proto; });
    });
    section->addRow(QStringLiteral("Protocol"), m_protocol);

    m_host = new QLineEdit;
    connect(m_host, &QLineEdit::textEdited, this,
            [this](const QString& text) { edit([&](RotatorConfig& r) { r.host = text; }); });
    section->addRow(QStringLiteral("rotctld host"), m_host);
    m_tcpPort = new NumberField(0);
    connect(m_tcpPort, &NumberField::committed, this,
            [this](double value) { edit([&](RotatorConfig& r) { r.tcpPort = wholeNumber(value); }); });
    section->addRow(QStringLiteral("rotctld port"), m_tcpPort);

    m_port = new FittingComboBox;
    m_port->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_port->setMinimumContentsLength(12);
    connect(m_port, &QComboBox::currentIndexChanged, this, [this](int row) {
        if (row >= 0)
            edit([&, path = m_port->itemData(row).toString()](RotatorConfig& r) { r.port = path; });
    });
    m_refresh = new QPushButton(QStringLiteral("Refresh"));
    connect(m_refresh, &QPushButton::clicked, this, [this] { refreshPorts(); });
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(m_port, 1);
    portRow->addWidget(m_refresh);
    m_portRow = section->addRow(QStringLiteral("Serial port"), portRow);

    m_clash = SettingsText::plain(QString());
    SettingsText::setColor(m_clash, SettingsText::warning());
    auto* triangle = new QLabel;
    triangle->setPixmap(warningSign(m_clash->fontMetrics().height()));
    auto* clashRow = new QHBoxLayout;
    clashRow->addWidget(triangle, 0, Qt::AlignTop);
    clashRow->addWidget(m_clash, 1);
    m_clashRow = section->addRow(clashRow);

    m_speed = new QComboBox;
    for (const int baud : speeds)
        m_speed->addItem(QStringLiteral("%1 baud").arg(baud), baud);
    connect(m_speed, &QComboBox::currentIndexChanged, this, [this](int row) {
        if (row >= 0)
            edit([&, baud = m_speed->itemData(row).toInt()](RotatorConfig& r) { r.baud = baud; });
    });
    section->addRow(QStringLiteral("Speed"), m_speed);

    m_dot = new StatusDot;
    m_status = SettingsText::plain(QString());
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(m_dot, 0, Qt::AlignVCenter);
    statusRow->addWidget(m_status, 1, Qt::AlignVCenter);
    section->addRow(statusRow);
    return section;
}

void RotatorSettings::refreshProtocolRows()
{
    const RotatorConfig* rotator = current();
    const bool network = rotator && usesNetwork(rotator->proto);
    m_connection->setRowVisible(m_host, network);
    m_connection->setRowVisible(m_tcpPort, network);
    m_connection->setRowVisible(m_portRow, !network);
    m_connection->setRowVisible(m_speed, !network);
    const bool speedControl = rotator && supportsSpeed(rotator->proto);
    m_softStart->setVisible(speedControl);
    m_softStartText->setVisible(speedControl);
    m_prosistelText->setVisible(rotator && rotator->proto == RotatorProtocol::prosistel);
}

QStringList RotatorSettings::portChoices(const QString& current) const
{
    if (!current.isEmpty() && !m_ports.contains(current))
        return QStringList { current } + m_ports;
    return m_ports;
}

QString RotatorSettings::portLabel(const QString& path, const RotatorConfig& rotator) const
{
    const QString base = m_usb.value(path).label(path);
    RotatorConfig there = rotator;
    there.port = path;
    QStringList users;
    for (const RotatorConfig& other : there.portClashes(m_list))
        users << other.name;
    return users.isEmpty() ? base : base + QStringLiteral(" · used by ") + users.join(QStringLiteral(", "));
}

void RotatorSettings::refreshPortPicker()
{
    const RotatorConfig* rotator = current();
    if (!rotator)
        return;
    QList<std::pair<QString, QString>> rows { { QStringLiteral("Choose…"), QString() } };
    for (const QString& path : portChoices(rotator->port))
        rows.append({ portLabel(path, *rotator), path });

    bool same = m_port->count() == rows.size();
    for (int i = 0; same && i < rows.size(); ++i)
        same = m_port->itemText(i) == rows[i].first && m_port->itemData(i).toString() == rows[i].second;
    const QSignalBlocker quiet(m_port);
    if (!same) {
        m_port->clear();
        for (const auto& [label, path] : rows)
            m_port->addItem(label, path);
    }
    m_port->setCurrentIndex(m_port->findData(rotator->port));
}

void RotatorSettings::refreshPorts()
{
    const QStringList ports = m_source.ports();
    if (ports == m_ports)
        return;
    m_ports = ports;
    m_usb = m_source.descriptions();
    refreshPortPicker();
}

void RotatorSettings::refreshClash()
{
    const RotatorConfig* rotator = current();
    QStringList names;
    if (rotator)
        for (const RotatorConfig& other : rotator->portClashes(m_list))
            names << other.name;
    m_clash->setText(
        names.join(QStringLiteral(", "))
                   + QStringLiteral(" uses the same port. Each rotator needs its own port: choose the other cable "
                                      "here."));
    m_clashRow->setVisible(!names.isEmpty() && rotator && !usesNetwork(rotator->proto));
}

void RotatorSettings::refreshStatus()
{
    const RotatorConfig* rotator = current();
    const std::optional<RotatorManager::Status> status
        = rotator && m_rotors ? m_rotors->status(rotator->id) : std::nullopt;
    const bool connected = status && status->connected;
    m_dot->setConnected(connected);
    if (connected && status->heading) {
        m_status->setText(QStringLiteral("Connected · heading ") + heading(*status->heading));
        m_status->setPalette(QPalette());
    } else {
        // In the tab the message would send the user to, the missing port
        // is asked for where it is chosen.
        const QString message = status ? status->message : RotatorManager::Status::notConnectedText();
        m_status->setText(
            message == RotatorManager::Status::noPortText() ? QStringLiteral("Choose the serial port above") : message);
        SettingsText::setColor(m_status, SettingsText::secondary());
    }
}

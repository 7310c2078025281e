#include "settings/RotatorSettings.h"

#include "kit/Color.h"
#include "rotator/RotatorManager.h"
#include "rotator/SerialPortListing.h"
#include "settings/ColorButton.h"
#include "settings/NumberField.h"
#include "settings/SettingControls.h"
#include "settings/SettingsColumns.h"
#include "settings/SettingsSection.h"
#include "settings/StatusDot.h"
#include "settings/WrappingCheckBox.h"
#include "support/NumberText.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr int beamStep = 5;
constexpr int beamValueWidth = 44;
constexpr int offsetFieldWidth = 60;
constexpr double offsetLimit = 180;

enum SectionIndex { rotatorsIndex, connectionIndex, antennaIndex };

const QString what = QStringLiteral("rotator list");

QToolButton* stepButton(Qt::ArrowType arrow)
{
    auto* button = new QToolButton;
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFixedSize(18, 12);
    return button;
}

} // namespace

RotatorSettings::PortSource RotatorSettings::PortSource::machine()
{
    // One reading of the machine gives the paths and their descriptions:
    // the descriptions asked for after a changed list are those of the
    // reading that found the change, not a second reading.
    auto last = std::make_shared<SerialPorts::Listing>();
    return {
        [last] {
            *last = SerialPortListing::read();
            return last->paths;
        },
        [last] { return last->descriptions; },
    };
}

QString RotatorSettings::colorFor(qsizetype existing)
{
    static const char* const colors[] = { "#FFD24AFF", "#4FD1E8FF", "#FF7A7AFF", "#9CFF7AFF" };
    return QString::fromLatin1(colors[existing % 4]);
}

RotatorSettings::RotatorSettings(RotatorManager* rotors, PortSource source, QWidget* parent)
    : QWidget(parent)
    , m_rotors(rotors)
    , m_source(std::move(source))
{
    m_list = RotatorConfig::load(Settings::standard());
    m_ports = m_source.ports();
    m_usb = m_source.descriptions();

    m_columns = SettingsColumns::fill(this,
                                      {
                                          { rotatorsSection(), 3 },
                                          { connectionSection(), 3 },
                                          { antennaSection(), 3 },
                                      });

    keepUnreadable();
    select(m_list.isEmpty() ? std::nullopt : std::optional(m_list.first().id));

    m_portCheck.setObjectName(QStringLiteral("portCheck"));
    m_portCheck.setInterval(portCheckMilliseconds);
    connect(&m_portCheck, &QTimer::timeout, this, [this] { refreshPorts(); });
    if (m_rotors)
        connect(m_rotors, &RotatorManager::statusChanged, this, [this](const QUuid& id) {
            if (id == m_selected)
                refreshStatus();
        });
}

void RotatorSettings::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_portCheck.start();
}

void RotatorSettings::hideEvent(QHideEvent* event)
{
    m_portCheck.stop();
    QWidget::hideEvent(event);
}

// Rotators

QWidget* RotatorSettings::rotatorsSection()
{
    auto* section = new SettingsSection(QStringLiteral("Rotators"));
    m_unreadable = SettingBinding::unreadableNote(what, SettingKeys::rotatorsUnreadable);
    section->addRow(m_unreadable);

    m_emptyHint = SettingsText::plain(QStringLiteral(
        "No rotator yet. Add one to see your antenna's direction on the map and turn it from Corvanta."));
    SettingsText::setColor(m_emptyHint, SettingsText::secondary());
    section->addRow(m_emptyHint);

    m_picker = new FittingComboBox;
    connect(m_picker, &QComboBox::currentIndexChanged, this, [this](int row) {
        if (!m_loading && row >= 0)
            select(m_picker->itemData(row).toUuid());
    });
    section->addRow(QStringLiteral("Rotator"), m_picker);

    m_add = new QPushButton(QStringLiteral("Add rotator"));
    m_remove = new QPushButton;
    connect(m_add, &QPushButton::clicked, this, [this] { addRotator(); });
    connect(m_remove, &QPushButton::clicked, this, [this] { removeSelected(); });
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_add);
    buttonRow->addWidget(m_remove);
    buttonRow->addStretch(1);
    section->addRow(buttonRow);

    section->setFooter({ QStringLiteral("Right-click the map or a country to turn a rotator there. The toolbar shows "
                                        "each rotator's heading, and Stop while it turns.") });
    return section;
}

void RotatorSettings::addRotator()
{
    RotatorConfig rotator;
    rotator.name = QStringLiteral("Antenna %1").arg(m_list.size() + 1);
    rotator.color = colorFor(m_list.size());
    m_list.append(rotator);
    save();
    select(rotator.id);
}

void RotatorSettings::removeSelected()
{
    const std::optional<qsizetype> at = index();
    if (!at)
        return;
    m_list.removeAt(*at);
    save();
    select(m_list.isEmpty() ? std::nullopt : std::optional(m_list.first().id));
}

void RotatorSettings::refreshPicker()
{
    m_loading = true;
    bool same = m_picker->count() == m_list.size();
    for (int i = 0; same && i < m_picker->count(); ++i)
        same = m_picker->itemText(i) == m_list[i].name && m_picker->itemData(i).toUuid() == m_list[i].id;
    if (!same) {
        m_picker->clear();
        for (const RotatorConfig& rotator : std::as_const(m_list))
            m_picker->addItem(rotator.name, rotator.id);
    }
    const std::optional<qsizetype> at = index();
    m_picker->setCurrentIndex(at ? int(*at) : -1);
    m_loading = false;

    auto* section = static_cast<SettingsSection*>(m_columns->sections()[rotatorsIndex].view);
    m_emptyHint->setVisible(m_list.isEmpty());
    section->setRowVisible(m_picker, !m_list.isEmpty());
    m_remove->setVisible(at.has_value());
    // The name as typed: an ampersand in it marks no shortcut.
    if (const RotatorConfig* rotator = current())
        m_remove->setText(QStringLiteral("Remove ") + QString(rotator->name).replace(u'&', QStringLiteral("&&")));
}

// The working list

std::optional<qsizetype> RotatorSettings::index() const
{
    if (!m_selected)
        return std::nullopt;
    for (qsizetype i = 0; i < m_list.size(); ++i)
        if (m_list[i].id == *m_selected)
            return i;
    return std::nullopt;
}

const RotatorConfig* RotatorSettings::current() const
{
    const std::optional<qsizetype> at = index();
    return at ? &m_list[*at] : nullptr;
}

void RotatorSettings::edit(const std::function<void(RotatorConfig&)>& change)
{
    const std::optional<qsizetype> at = index();
    if (!at || m_loading)
        return;
    RotatorConfig changed = m_list[*at];
    change(changed);
    if (changed == m_list[*at])
        return;
    m_list[*at] = changed;
    save();
    refreshEditors();
}

void RotatorSettings::select(const std::optional<QUuid>& id)
{
    m_selected = id;
    const bool open = index().has_value();
    m_columns->setSectionShown(connectionIndex, open);
    m_columns->setSectionShown(antennaIndex, open);
    refreshEditors();
}

void RotatorSettings::save()
{
    keepUnreadable();
    RotatorConfig::save(Settings::standard(), m_list);
}

void RotatorSettings::keepUnreadable()
{
    const auto readable
        = [](const QString& stored) { return stored == QLatin1String("[]") || RotatorConfig::decodes(stored); };
    if (SettingBinding::keepUnreadable(SettingKeys::rotators, SettingKeys::rotatorsUnreadable, what, readable))
        m_unreadable->show();
}

// Antenna

QWidget* RotatorSettings::antennaSection()
{
    auto* section = new SettingsSection(QStringLiteral("Antenna"));

    m_beam = new QSlider(Qt::Horizontal);
    m_beam->setRange(10 / beamStep, 180 / beamStep);
    m_beam->setPageStep(2);
    m_beamText = SettingsText::plain(QString());
    m_beamText->setWordWrap(false);
    m_beamText->setFixedWidth(beamValueWidth);
    m_beamText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(m_beam, &QSlider::valueChanged, this,
            [this](int step) { edit([&](RotatorConfig& r) { r.beamWidth = double(step * beamStep); }); });
    auto* beam = new QHBoxLayout;
    beam->addWidget(m_beam, 1);
    beam->addWidget(m_beamText);
    section->addRow(QStringLiteral("Beam width"), beam);

    m_range = new QComboBox;
    m_range->addItem(QStringLiteral("0–360°"), 360);
    m_range->addItem(QStringLiteral("0–450° (overlap)"), 450);
    connect(m_range, &QComboBox::currentIndexChanged, this, [this](int row) {
        if (row >= 0)
            edit([&, range = m_range->itemData(row).toInt()](RotatorConfig& r) { r.range = range; });
    });
    section->addRow(QStringLiteral("Rotation range"), m_range);

    // Typed offsets are stored as typed; the stepper stays within ±180°.
    m_offset = new NumberField(1);
    m_offset->setFixedWidth(offsetFieldWidth);
    m_offset->setAlignment(Qt::AlignRight);
    connect(m_offset, &NumberField::committed, this,
            [this](double value) { edit([&](RotatorConfig& r) { r.offset = value; }); });
    m_offsetUp = stepButton(Qt::UpArrow);
    m_offsetDown = stepButton(Qt::DownArrow);
    connect(m_offsetUp, &QToolButton::clicked, this,
            [this] { edit([](RotatorConfig& r) { r.offset = std::min(r.offset + 1, offsetLimit); }); });
    connect(m_offsetDown, &QToolButton::clicked, this,
            [this] { edit([](RotatorConfig& r) { r.offset = std::max(r.offset - 1, -offsetLimit); }); });
    auto* stepper = new QVBoxLayout;
    stepper->setSpacing(0);
    stepper->addWidget(m_offsetUp);
    stepper->addWidget(m_offsetDown);
    auto* offset = new QHBoxLayout;
    offset->addStretch(1);
    offset->addWidget(m_offset);
    offset->addLayout(stepper);
    offset->addWidget(SettingsText::plain(QStringLiteral("°")));
    section->addRow(QStringLiteral("Calibration offset"), offset);

    const ColorButton::Binding color {
        [this] {
            const RotatorConfig* rotator = current();
            return Color::fromHex(rotator ? rotator->color : QString());
        },
        [this](const QColor& picked) { edit([&](RotatorConfig& r) { r.color = Color::hexString(picked); }); },
        {},
    };
    m_color = new ColorButton(color, ColorButton::Opacity::none);
    section->addRow(QStringLiteral("Colour"), m_color, Qt::AlignRight);

    m_longPath = new WrappingCheckBox(QStringLiteral("Show long path"));
    connect(m_longPath, &QCheckBox::toggled, this,
            [this](bool on) { edit([&](RotatorConfig& r) { r.showLongPath = on; }); });
    section->addRow(m_longPath);

    m_softStart = new WrappingCheckBox(QStringLiteral("Soft start and stop"));
    connect(m_softStart, &QCheckBox::toggled, this,
            [this](bool on) { edit([&](RotatorConfig& r) { r.softStart = on; }); });
    section->addRow(m_softStart);
    m_softStartText = SettingsText::caption(
        QStringLiteral("Starts slowly, speeds up, and slows down before it stops, to spare the rotator and the mast. "
                       "Needs a Yaesu controller with speed control (DXA and DXC models)."));
    section->addRow(m_softStartText);
    m_prosistelText = SettingsText::caption(QStringLiteral(
        "Prosistel controllers start and stop gently by themselves; the ramp is set in the controller's own menu."));
    section->addRow(m_prosistelText);
    section->addRow(SettingsText::caption(QStringLiteral(
        "Calibration offset is added to what the controller reports, if your antenna points a little off.")));
    return section;
}

void RotatorSettings::refreshBeam()
{
    const RotatorConfig* rotator = current();
    if (!rotator)
        return;
    const QSignalBlocker quiet(m_beam);
    m_beam->setValue(int(std::lround(rotator->beamWidth / beamStep)));
    m_beamText->setText(NumberText::fixed(rotator->beamWidth, 0) + QStringLiteral("°"));
}

// Showing the open rotator

void RotatorSettings::refreshEditors()
{
    m_loading = true;
    if (const RotatorConfig* rotator = current()) {
        if (m_name->text() != rotator->name) // keeps the cursor while typing
            m_name->setText(rotator->name);
        m_protocol->setCurrentIndex(m_protocol->findData(rawValue(rotator->proto)));
        if (m_host->text() != rotator->host)
            m_host->setText(rotator->host);
        m_tcpPort->setValue(rotator->tcpPort);
        m_speed->setCurrentIndex(m_speed->findData(rotator->baud));
        m_range->setCurrentIndex(m_range->findData(rotator->range));
        m_offset->setValue(rotator->offset);
        m_longPath->setChecked(rotator->showLongPath);
        m_softStart->setChecked(rotator->softStart);
    }
    m_loading = false;
    refreshAll();
}

void RotatorSettings::refreshAll()
{
    refreshPicker();
    refreshProtocolRows();
    refreshPortPicker();
    refreshClash();
    refreshStatus();
    refreshBeam();
    m_color->reload();
}

#include "settings/ClusterSettings.h"

#include "cluster/Band.h"
#include "cluster/DXClusterClient.h"
#include "cluster/SpotMode.h"
#include "settings/ColorButton.h"
#include "settings/SettingControls.h"
#include "settings/SettingsColumns.h"
#include "settings/SettingsSection.h"
#include "settings/StatusDot.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int nodeLogHeight = 140;
constexpr int bandColumns = 4;

} // namespace

SettingComboBox* ClusterSettings::compact(SettingComboBox* picker)
{
    picker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    picker->setMinimumContentsLength(12);
    return picker;
}

QString ClusterSettings::nodeTitle(const ClusterNode& node)
{
    return node.name + QStringLiteral("  ") + node.host + u':' + QString::number(node.port);
}

ClusterSettings::ClusterSettings(DXClusterClient* cluster, QWidget* parent)
    : QWidget(parent)
    , m_cluster(cluster)
{
    m_columns = SettingsColumns::fill(this,
                                      {
                                          { connectionSection(), 3 },
                                          { displaySection(), 3 },
                                          { dxccSection(), 3 },
                                          { watchSection(), 3 },
                                          { alertsSection(), 3 },
                                          { advancedSection(), 3 },
                                      });

    refreshNodeRows();
    refreshLoginAs();
    refreshStatus();
    refreshNodeLog();
    refreshBands();
    refreshNeededNote();
    refreshLogbook();
    refreshCountryFile();

    SettingBinding::follow(this, SettingKeys::clusterNode.name, [this] { refreshNodeRows(); });
    SettingBinding::follow(this, SettingKeys::callsign.name, [this] { refreshLoginAs(); });
    SettingBinding::follow(this, SettingKeys::clusterEnabled.name, [this] { refreshStatus(); });
    SettingBinding::follow(this, SettingKeys::clusterBands.name, [this] { refreshBands(); });
    SettingBinding::follow(this, SettingKeys::clusterShow.name, [this] { refreshNeededNote(); });
    if (m_cluster) {
        connect(m_cluster, &DXClusterClient::statusChanged, this, [this] { refreshStatus(); });
        connect(m_cluster, &DXClusterClient::recentLinesChanged, this, [this] { refreshNodeLog(); });
        connect(m_cluster, &DXClusterClient::logbookChanged, this, [this] {
            refreshLogbook();
            refreshNeededNote();
        });
        connect(m_cluster, &DXClusterClient::countriesChanged, this, [this] {
            refreshLogbook();
            refreshCountryFile();
        });
        connect(m_cluster, &DXClusterClient::countryFileRetryChanged, this, [this] { refreshCountryFile(); });
    }
}

// Connection

QWidget* ClusterSettings::connectionSection()
{
    auto* section = new SettingsSection(QStringLiteral("Connection"));
    m_connection = section;
    section->addRow(new SettingCheckBox(SettingKeys::clusterEnabled, QStringLiteral("Connect to a DX cluster")));

    QList<std::pair<QString, QString>> nodes;
    for (const ClusterNode& node : ClusterNode::known())
        nodes.append({ nodeTitle(node), node.id });
    nodes.append({ QStringLiteral("Other node (enter the address)"), ClusterNode::customId.toString() });
    auto* node = compact(new SettingComboBox(SettingKeys::clusterNode, nodes));
    node->insertDivider(int(ClusterNode::known().size()));
    section->addRow(QStringLiteral("Node"), node);

    auto* address = new SettingLineEdit(SettingKeys::clusterCustomAddress, SettingLineEdit::Commit::whenFinished);
    address->setPlaceholderText(QStringLiteral("host:port, e.g. dxc.example.net:7300"));
    m_address = address;
    section->addRow(QStringLiteral("Address"), address);

    m_loginAs = SettingsText::plain(QString());
    section->addRow(QStringLiteral("Log in as"), m_loginAs);

    m_dot = new StatusDot;
    m_status = SettingsText::plain(QString());
    m_status->setFont(SettingsText::captionFont(m_status->font()));
    m_status->setMaximumHeight(2 * m_status->fontMetrics().lineSpacing() + 2); // two lines at most
    m_reconnect = new QPushButton(QStringLiteral("Reconnect"));
    connect(m_reconnect, &QPushButton::clicked, this, [this] {
        if (m_cluster)
            m_cluster->reconnect();
    });
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(m_dot, 0, Qt::AlignVCenter);
    statusRow->addWidget(m_status, 1, Qt::AlignVCenter);
    statusRow->addWidget(m_reconnect, 0, Qt::AlignVCenter);
    section->addRow(statusRow);

    // A disclosure of the node's last lines, shut at first.
    m_logToggle = new QToolButton;
    m_logToggle->setText(QStringLiteral("What the node says"));
    m_logToggle->setArrowType(Qt::RightArrow);
    m_logToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_logToggle->setAutoRaise(true);
    m_log = new QPlainTextEdit;
    m_log->setReadOnly(true);
    m_log->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_log->setFixedHeight(nodeLogHeight);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(SettingsText::captionFont(font()).pointSizeF());
    m_log->setFont(fixed);
    m_log->hide();
    connect(m_logToggle, &QToolButton::clicked, this, [this] {
        const bool open = m_log->isHidden();
        m_logToggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        m_log->setVisible(open);
        if (open)
            showNewestLines();
    });
    section->addRow(m_logToggle, Qt::AlignLeft);
    section->addRow(m_log);

    section->setFooter({ QStringLiteral(
        "The app logs in with your callsign over telnet and asks for the last 50 spots. If a node does not answer, "
        "pick another one or enter the address of your favourite node.") });
    return section;
}

void ClusterSettings::refreshNodeRows()
{
    const bool custom = Settings::standard().get(SettingKeys::clusterNode) == ClusterNode::customId;
    m_connection->setRowVisible(m_address, custom);
}

void ClusterSettings::refreshLoginAs()
{
    const QString callsign = Settings::standard().get(SettingKeys::callsign);
    if (callsign.isEmpty()) {
        m_loginAs->setText(QStringLiteral("No callsign: set it on the Station tab"));
        SettingsText::setColor(m_loginAs, SettingsText::warning());
    } else {
        m_loginAs->setText(callsign.toUpper());
        m_loginAs->setPalette(QPalette()); // the window's own text colour again
    }
}

void ClusterSettings::refreshStatus()
{
    const DXClusterClient::Status status = m_cluster ? m_cluster->status() : DXClusterClient::Status::off();
    m_dot->setConnected(status.kind == DXClusterClient::Status::Kind::connected);
    // Here, the tab it would send the user to, the missing address is asked
    // for where it is typed.
    const bool noAddress
        = status.kind == DXClusterClient::Status::Kind::failed && status.detail == ClusterMessage::noAddress();
    m_status->setText(noAddress ? QStringLiteral("Enter the node's address above") : status.text());
    m_reconnect->setEnabled(Settings::standard().get(SettingKeys::clusterEnabled));
}

void ClusterSettings::refreshNodeLog()
{
    const QStringList lines = m_cluster ? m_cluster->recentLines() : QStringList();
    const QString text = lines.mid(std::max<qsizetype>(0, lines.size() - shownLogLines)).join(u'\n');
    if (text == m_log->toPlainText())
        return;
    // Follows the newest line unless the user has scrolled up to read.
    QScrollBar* bar = m_log->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    const int kept = bar->value();
    m_log->setPlainText(text);
    if (atEnd)
        showNewestLines();
    else
        bar->setValue(kept);
}

void ClusterSettings::showNewestLines()
{
    // The start of the last line: scrolled down, not sideways.
    m_log->moveCursor(QTextCursor::End);
    m_log->moveCursor(QTextCursor::StartOfLine);
}

// What to show

QWidget* ClusterSettings::displaySection()
{
    auto* section = new SettingsSection(QStringLiteral("What to show"));
    const QList<std::pair<QString, QString>> show {
        { QStringLiteral("All spotted countries"), QStringLiteral("all") },
          { QStringLiteral("Only countries I still need"), QStringLiteral("needed") },
        };
    section->addRow(QStringLiteral("Show"), compact(new SettingComboBox(SettingKeys::clusterShow, show)));

    m_neededNote
        = SettingsText::caption(QStringLiteral("Import your log below first; until then nothing counts as needed."),
                                               SettingsText::warning());
    section->addRow(m_neededNote);

    section->addRow(QStringLiteral("Modes"),
        compact(new SettingComboBox(SettingKeys::clusterModeFilter, SettingChoices::ofCases(allModeFilters))));

    auto* bands = new QWidget;
    auto* bandsLayout = new QVBoxLayout(bands);
    bandsLayout->setContentsMargins(0, 0, 0, 0);
    bandsLayout->setSpacing(6);
    bandsLayout->addWidget(SettingsText::plain(QStringLiteral("Bands")));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(4);
    for (const Band band : allBands) {
        auto* box = new QCheckBox(title(band));
        box->setMinimumWidth(62);
        const int metres = rawValue(band);
        connect(box, &QCheckBox::toggled, this, [this, metres](bool on) { setBand(metres, on); });
        grid->addWidget(box, int(m_bands.size()) / bandColumns, int(m_bands.size()) % bandColumns);
        m_bands.append(box);
    }
    bandsLayout->addLayout(grid);
    auto* hf = new QPushButton(QStringLiteral("HF + 6 m"));
    auto* all = new QPushButton(QStringLiteral("All"));
    for (QPushButton* button : { hf, all })
        button->setFont(SettingsText::captionFont(font()));
    connect(hf, &QPushButton::clicked, this,
            [] { Settings::standard().set(SettingKeys::clusterBands, encodeBands(defaultBandSelection())); });
    connect(all, &QPushButton::clicked, this, [] {
        Settings::standard().set(SettingKeys::clusterBands, encodeBands(BandSet(allBands.begin(), allBands.end())));
    });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(hf);
    buttons->addWidget(all);
    bandsLayout->addLayout(buttons);
    section->addRow(bands);

    section->addRow(QStringLiteral("Show a spot for"),
        compact(new SettingComboBox(SettingKeys::clusterSpotMinutes, SettingChoices::minutes({ 10, 20, 30, 60 }))));
    auto* spotColor = new ColorButton(SettingKeys::clusterSpotColor, ColorButton::Opacity::none);
    section->addRow(QStringLiteral("Blink colour"), spotColor, Qt::AlignRight);

    section->setFooter({ QStringLiteral(
        "A country blinks while one of its stations has been spotted within this time; each new spot of the same "
        "station keeps it going. The mode comes from the spot comment, or from the band plan when the comment does "
        "not say.") });
    return section;
}

QCheckBox* ClusterSettings::bandBox(int metres) const
{
    for (int i = 0; i < int(allBands.size()); ++i)
        if (rawValue(allBands[i]) == metres)
            return m_bands[i];
    return nullptr;
}

void ClusterSettings::refreshBands()
{
    const BandSet chosen = decodeBands(Settings::standard().get(SettingKeys::clusterBands));
    for (int i = 0; i < int(allBands.size()); ++i) {
        const QSignalBlocker quiet(m_bands[i]);
        m_bands[i]->setChecked(chosen.contains(allBands[i]));
    }
}

void ClusterSettings::setBand(int metres, bool on)
{
    // Re-encoding the whole set leaves the stored text in its one form:
    // pieces that name no band, blanks and repeats go.
    Settings& settings = Settings::standard();
    BandSet chosen = decodeBands(settings.get(SettingKeys::clusterBands));
    const Band band = *bandFromRaw(metres);
    if (on)
        chosen.insert(band);
    else
        chosen.remove(band);
    settings.set(SettingKeys::clusterBands, encodeBands(chosen));
}

void ClusterSettings::refreshNeededNote()
{
    const bool needed = Settings::standard().get(SettingKeys::clusterShow) == QLatin1String("needed");
    m_neededNote->setVisible(needed && !(m_cluster && m_cluster->progress()));
}

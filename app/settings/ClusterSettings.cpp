#include "settings/ClusterSettings.h"

#include "cluster/Band.h"
#include "cluster/DXClusterClient.h"
#include "cluster/SpotMode.h"
#include "settings/ColorButton.h"
#include "settings/SettingControls.h"
#include "settings/SettingsColumns.h"
#include "settings/SettingsSection.h"
#include "settings/StatusDot.h"
#include "support/Endpoints.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int nodeLogHeight = 140;
constexpr int bandColumns = 4;

// Logs exported by logging programs: ".adi", ".adif", or plain text.
const QString adifFilter = QStringLiteral("ADIF logs (*.adi *.adif *.ADI *.ADIF *.txt *.TXT)");

void setTextColor(QLabel* label, const QColor& color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

// Pickers with long rows (node addresses) take the column's width instead
// of widening the column to their longest row.
SettingComboBox* compact(SettingComboBox* picker)
{
    picker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    picker->setMinimumContentsLength(12);
    return picker;
}

QFont captionFont(const QWidget* widget)
{
    QFont font = widget->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

} // namespace

QString ClusterSettings::nodeTitle(const ClusterNode& node)
{
    return node.name + QStringLiteral("  ") + node.host + u':' + QString::number(node.port);
}

ClusterSettings::ClusterSettings(DXClusterClient* cluster, QWidget* parent)
    : QWidget(parent)
    , m_cluster(cluster)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_columns = new SettingsColumns(
        {
            { connectionSection(), 3 },
            { displaySection(), 3 },
            { dxccSection(), 3 },
            { watchSection(), 3 },
            { alertsSection(), 3 },
            { advancedSection(), 3 },
        },
        this);
    layout->addWidget(m_columns);

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
    SettingBinding::follow(this, SettingKeys::logbookFileName.name, [this] { refreshLogbook(); });
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
    m_status->setFont(captionFont(m_status));
    m_status->setMaximumHeight(2 * m_status->fontMetrics().lineSpacing() + 2); // two lines at most
    m_reconnect = new QPushButton(QStringLiteral("Reconnect"));
    connect(m_reconnect, &QPushButton::clicked, this, [this] {
        if (m_cluster)
            m_cluster->reconnect();
    });
    auto* statusRow = new QWidget;
    auto* statusLayout = new QHBoxLayout(statusRow);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusLayout->addWidget(m_dot, 0, Qt::AlignVCenter);
    statusLayout->addWidget(m_status, 1, Qt::AlignVCenter);
    statusLayout->addWidget(m_reconnect, 0, Qt::AlignVCenter);
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
    fixed.setPointSizeF(captionFont(this).pointSizeF());
    m_log->setFont(fixed);
    m_log->hide();
    connect(m_logToggle, &QToolButton::clicked, this, [this] {
        const bool open = m_log->isHidden();
        m_logToggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        m_log->setVisible(open);
        if (open)
            m_log->moveCursor(QTextCursor::End); // the newest lines
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
        setTextColor(m_loginAs, SettingsText::warning());
    } else {
        m_loginAs->setText(callsign.toUpper());
        m_loginAs->setPalette(QPalette()); // the window's own text colour again
    }
}

void ClusterSettings::refreshStatus()
{
    const DXClusterClient::Status status = m_cluster ? m_cluster->status() : DXClusterClient::Status::off();
    m_dot->setConnected(status.kind == DXClusterClient::Status::Kind::connected);
    m_status->setText(status.text());
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
        m_log->moveCursor(QTextCursor::End);
    else
        bar->setValue(kept);
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

    QList<std::pair<QString, QString>> modes;
    for (const ModeFilter filter : allModeFilters)
        modes.append({ title(filter), rawValue(filter) });
    section->addRow(QStringLiteral("Modes"), compact(new SettingComboBox(SettingKeys::clusterModeFilter, modes)));

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
        button->setFont(captionFont(this));
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

    QList<std::pair<QString, qint64>> minutes;
    for (const qint64 m : { 10, 20, 30, 60 })
        minutes.append({ QStringLiteral("%1 minutes").arg(m), m });
    section->addRow(QStringLiteral("Show a spot for"),
                                   compact(new SettingComboBox(SettingKeys::clusterSpotMinutes, minutes)));
    section->addRow(QStringLiteral("Blink colour"), new ColorButton(SettingKeys::clusterSpotColor, ColorButton::Opacity::none), Qt::AlignRight);

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

// My DXCC

QWidget* ClusterSettings::dxccSection()
{
    auto* section = new SettingsSection(QStringLiteral("My DXCC"));

    m_summary = SettingsText::caption(QString());
    m_summary->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_import = new QPushButton(QStringLiteral("Import ADIF…"));
    m_remove = new QPushButton(QStringLiteral("Remove"));
    connect(m_import, &QPushButton::clicked, this, [this] { chooseADIF(); });
    connect(m_remove, &QPushButton::clicked, this, [this] {
        if (m_cluster)
            m_cluster->clearLogbook();
        showImportMessage(std::nullopt);
    });
    auto* log = new QVBoxLayout;
    log->setSpacing(4);
    log->addWidget(m_summary);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_import);
    buttons->addWidget(m_remove);
    log->addLayout(buttons);
    section->addRow(QStringLiteral("Log"), log);

    m_importMessage = SettingsText::caption(QString());
    m_importMessage->hide();
    section->addRow(m_importMessage);

    QList<std::pair<QString, QString>> scopes;
    for (const NeedScope scope : allNeedScopes)
        scopes.append({ title(scope), rawValue(scope) });
    section->addRow(QStringLiteral("Needed means"),
                                   compact(new SettingComboBox(SettingKeys::clusterNeedScope, scopes)));
    section->addRow(new SettingCheckBox(SettingKeys::clusterConfirmedOnly,
                                        QStringLiteral("Count only confirmed QSOs (QSL card or LoTW)")));
    section->addRow(QStringLiteral("Needed colour"), new ColorButton(SettingKeys::clusterNeededColor, ColorButton::Opacity::none), Qt::AlignRight);

    section->setFooter({ QStringLiteral(
        "Export your log as ADIF (.adi) from your logging program (CQRLOG, KLog, Log4OM, N1MM+, Club Log, QRZ "
        "Logbook, LoTW…) and import it here. Needed countries blink fast in their own colour with a pulsing ring. "
        "Import again whenever your log grows.") });
    return section;
}

QString ClusterSettings::logSummary() const
{
    if (!m_cluster || !m_cluster->progress())
        return QStringLiteral("No log imported");
    const DXCCProgress& progress = *m_cluster->progress();
    QString name = Settings::standard().get(SettingKeys::logbookFileName);
    if (name.isEmpty())
        name = QStringLiteral("Log");
    QString text = name
        + QStringLiteral(": %1 QSOs, %2 countries worked, %3 confirmed")
                             .arg(progress.qsoCount)
                             .arg(progress.worked.size())
                             .arg(progress.confirmed.size());
    if (!m_cluster->countries().isFullCountryFile())
        text += QStringLiteral(" (rough until the country file is downloaded)");
    return text;
}

void ClusterSettings::refreshLogbook()
{
    m_summary->setText(logSummary());
    m_remove->setVisible(m_cluster && m_cluster->progress());
}

void ClusterSettings::chooseADIF()
{
    if (findChild<QFileDialog*>())
        return;
    auto* dialog = new QFileDialog(this, QStringLiteral("Import ADIF"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setNameFilter(adifFilter);
    dialog->setPalette(palette());
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) { importFrom(path); });
    dialog->open();
}

void ClusterSettings::importFrom(const QString& path)
{
    if (!m_cluster)
        return;
    const std::expected<int, LogbookError> read = m_cluster->importADIF(path);
    if (read)
        showImportMessage(QStringLiteral("Read %1 QSOs from %2.").arg(*read).arg(QFileInfo(path).fileName()));
    else
        showImportMessage(read.error().message);
}

void ClusterSettings::showImportMessage(const std::optional<QString>& message)
{
    m_importMessage->setText(message.value_or(QString()));
    m_importMessage->setVisible(message.has_value());
}

// Watch for callsigns

QWidget* ClusterSettings::watchSection()
{
    auto* section = new SettingsSection(QStringLiteral("Watch for callsigns"));
    auto* calls = new SettingLineEdit(SettingKeys::clusterWatchCalls);
    calls->setPlaceholderText(QStringLiteral("e.g. 3Y0K, VP8PJ, FT8*"));
    section->addRow(QStringLiteral("Callsigns"), calls);
    section->addRow(QStringLiteral("Watched colour"), new ColorButton(SettingKeys::clusterWatchColor, ColorButton::Opacity::none), Qt::AlignRight);
    section->setFooter({ QStringLiteral(
        "Separate calls with commas. * is a wildcard, and a call also matches its portable forms (3Y0K/P). Watched "
        "calls appear in a blinking strip above the clocks and on the map on any band and mode, whatever the filters "
        "above say.") });
    return section;
}

// Alerts

QWidget* ClusterSettings::alertsSection()
{
    auto* section = new SettingsSection(QStringLiteral("Alerts"));
    section->addRow(
        new SettingCheckBox(SettingKeys::alertNeeded, QStringLiteral("Alert when a needed country is spotted")));
    section->addRow(
        new SettingCheckBox(SettingKeys::alertWatched, QStringLiteral("Alert when a watched callsign is spotted")));
    section->addRow(new SettingCheckBox(SettingKeys::alertSound, QStringLiteral("Play a sound")));
    // Desktop notifications need no permission here: the notification
    // service shows what is posted, and the client asks whether one runs.
    section->addRow(new SettingCheckBox(SettingKeys::alertNotify, QStringLiteral("Show a desktop notification")));
    section->setFooter({ QStringLiteral("Each country or call alerts once, and again only after it has been gone from "
                                        "the cluster for the spot time above.") });
    return section;
}

// Advanced

QWidget* ClusterSettings::advancedSection()
{
    auto* section = new SettingsSection(QStringLiteral("Advanced"));
    auto* commands = new SettingLineEdit(SettingKeys::clusterCommands, SettingLineEdit::Commit::whenFinished);
    commands->setPlaceholderText(QStringLiteral("optional, e.g. set/skimmer; set/ft8"));
    section->addRow(QStringLiteral("Commands after login"), commands);

    m_countryFile = SettingsText::caption(QString());
    m_update = new QPushButton;
    connect(m_update, &QPushButton::clicked, this, [this] { updateCountries(); });
    auto* row = new QHBoxLayout;
    row->addWidget(m_countryFile, 1, Qt::AlignVCenter);
    row->addWidget(m_update, 0, Qt::AlignVCenter);
    section->addRow(QStringLiteral("Country file"), row);

    section->setFooter(
        { QStringLiteral("Callsigns are matched to countries with the cty.dat country file by AD1C (")
                         + QUrl(Endpoints::ctyBase()).host()
                         + QStringLiteral("), downloaded once a week. Separate several commands with a semicolon.") });
    return section;
}

QString ClusterSettings::countryFileText() const
{
    if (!m_cluster || !m_cluster->countryFileDate() || !m_cluster->countries().isFullCountryFile())
        return QStringLiteral("Not downloaded yet (using a built-in list)");
    const QDate date = m_cluster->countryFileDate()->toLocalTime().date();
    return QStringLiteral("%1 entities, ").arg(m_cluster->countries().entityCount())
                          + QLocale().toString(date, QStringLiteral("d MMM yyyy"));
}

void ClusterSettings::refreshCountryFile()
{
    m_countryFile->setText(countryFileText());
    m_update->setText(m_updatingCountries ? QStringLiteral("Updating…") : QStringLiteral("Update now"));
    m_update->setEnabled(!m_updatingCountries);
}

void ClusterSettings::updateCountries()
{
    if (!m_cluster || m_updatingCountries)
        return;
    m_updatingCountries = true;
    refreshCountryFile();
    // The download runs to its end when the tab has gone.
    m_cluster->updateCountryFile([tab = QPointer(this)] {
        if (!tab)
            return;
        tab->m_updatingCountries = false;
        tab->refreshCountryFile();
    });
}

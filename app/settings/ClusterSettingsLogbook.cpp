// The Cluster tab's later sections: the logbook and what counts as needed,
// the watched calls, the alerts, the login commands and the country file.
#include "settings/ClusterSettings.h"

#include "cluster/DXClusterClient.h"
#include "settings/ColorButton.h"
#include "settings/SettingControls.h"
#include "settings/SettingsSection.h"
#include "support/Endpoints.h"
#include "support/SettingsCatalogue.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// Logs exported by logging programs: ".adi", ".adif", or plain text.
const QString adifFilter = QStringLiteral("ADIF logs (*.adi *.adif *.ADI *.ADIF *.txt *.TXT)");

} // namespace

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

    section->addRow(QStringLiteral("Needed means"),
        compact(new SettingComboBox(SettingKeys::clusterNeedScope, SettingChoices::ofCases(allNeedScopes))));
    section->addRow(new SettingCheckBox(SettingKeys::clusterConfirmedOnly,
                                        QStringLiteral("Count only confirmed QSOs (QSL card or LoTW)")));
    auto* neededColor = new ColorButton(SettingKeys::clusterNeededColor, ColorButton::Opacity::none);
    section->addRow(QStringLiteral("Needed colour"), neededColor, Qt::AlignRight);

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
    QString name = m_cluster->logbook().fileName;
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
    auto* watchColor = new ColorButton(SettingKeys::clusterWatchColor, ColorButton::Opacity::none);
    section->addRow(QStringLiteral("Watched colour"), watchColor, Qt::AlignRight);
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
    QString text;
    if (!m_cluster || !m_cluster->countryFileDate() || !m_cluster->countries().isFullCountryFile()) {
        text = QStringLiteral("Not downloaded yet (using a built-in list)");
    } else {
        const QDate date = m_cluster->countryFileDate()->toLocalTime().date();
        text = QStringLiteral("%1 entities, ").arg(m_cluster->countries().entityCount())
            + QLocale().toString(date, QStringLiteral("d MMM yyyy"));
    }
    // After a failed download: at most six hours ahead, so the time of day says it.
    if (m_cluster && m_cluster->nextCountryFileTry())
        text += QStringLiteral(" \u00B7 next try at ")
            + m_cluster->nextCountryFileTry()->toLocalTime().time().toString(QStringLiteral("HH:mm"));
    return text;
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

#include "maintenance/UpdateProgressDialog.h"

#include "kit/DarkAppearance.h"
#include "maintenance/Updater.h"
#include "support/ByteSize.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

UpdateProgressDialog::UpdateProgressDialog(Updater& updater, const ReleaseFeed::Release& release, QWidget* parent)
    : QDialog(parent)
    , m_updater(updater)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // The program ends with its last window, not with this one.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Corvanta"));
    setPalette(DarkAppearance::palette());

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(10);
    m_title = new QLabel(QStringLiteral("Downloading Corvanta %1…").arg(release.version), this);
    m_title->setObjectName(QStringLiteral("title"));
    m_title->setTextFormat(Qt::PlainText);
    column->addWidget(m_title);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("bar"));
    m_bar->setTextVisible(false);
    m_bar->setRange(0, 0);
    m_bar->setMinimumWidth(360);
    column->addWidget(m_bar);
    auto* row = new QHBoxLayout;
    m_bytes = new QLabel(this);
    m_bytes->setObjectName(QStringLiteral("bytes"));
    m_bytes->setTextFormat(Qt::PlainText);
    row->addWidget(m_bytes, 1);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancel"));
    m_cancel->setAutoDefault(false);
    row->addWidget(m_cancel);
    column->addLayout(row);
    progress(0, -1);

    connect(m_cancel, &QPushButton::clicked, &updater, &Updater::cancelDownload);
    connect(&updater, &Updater::downloadProgress, this, &UpdateProgressDialog::progress);
    connect(&updater, &Updater::unpacking, this, [this, version = release.version] {
        m_downloading = false;
        m_title->setText(QStringLiteral("Checking and unpacking Corvanta %1…").arg(version));
        m_bar->setRange(0, 0);
        m_cancel->setEnabled(false);
    });
    connect(&updater, &Updater::busyChanged, this, [this](bool busy) {
        if (!busy)
            finish();
    });
    connect(&updater, &QObject::destroyed, this, &UpdateProgressDialog::finish);
}

void UpdateProgressDialog::progress(qint64 received, qint64 total)
{
    if (total > 0) {
        // In KiB, so that archives past 2 GiB still fit the bar's range.
        m_bar->setRange(0, int(total / 1024));
        m_bar->setValue(int(std::min(received, total) / 1024));
        m_bytes->setText(QStringLiteral("%1 of %2").arg(ByteSize::text(received), ByteSize::text(total)));
    } else {
        m_bar->setRange(0, 0);
        m_bytes->setText(ByteSize::text(received));
    }
}

void UpdateProgressDialog::finish()
{
    m_finished = true;
    close();
}

void UpdateProgressDialog::reject()
{
    if (m_finished)
        QDialog::reject();
    else if (m_downloading)
        m_updater.cancelDownload();
}

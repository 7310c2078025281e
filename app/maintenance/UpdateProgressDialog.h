#pragma once

#include "maintenance/ReleaseFeed.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class Updater;

// The download's progress while an update installs: "Downloading Corvanta
// 0.9.1…", a bar and "12.3 MiB of 40 MiB" (bytes of the announced size),
// and a Cancel button that ends the download. Once the archive is in, it
// says that it is checking and unpacking, which cannot be cancelled. Dark,
// not modal; it closes and deletes itself when the installation ends, and
// keeps the program alive no longer than its last main window does: a quit
// stops the update (Updater::stop), which closes it.
class UpdateProgressDialog : public QDialog {
    Q_OBJECT
public:
    UpdateProgressDialog(Updater& updater, const ReleaseFeed::Release& release, QWidget* parent = nullptr);

    // Closing the window while the download runs cancels it; while the
    // archive is unpacked it stays.
    void reject() override;

private:
    void progress(qint64 received, qint64 total);
    void finish();

    Updater& m_updater;
    QLabel* m_title;
    QProgressBar* m_bar;
    QLabel* m_bytes;
    QPushButton* m_cancel;
    bool m_downloading = true;
    bool m_finished = false;
};

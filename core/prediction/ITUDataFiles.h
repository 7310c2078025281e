#pragma once

#include "prediction/ITUEngineError.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;

// The P.533 engine's monthly ionosphere files ("ionos01.bin" … "ionos12.bin")
// in the engine's data folder. Before a run the month's file must be there
// at its exact size: files that come with the application are copied in
// first, and a month still missing is downloaded from the ITU-R HF data
// repository, once however many callers ask for it at the same time.
// Files are never deleted; a good download replaces the month's file in one
// step, and a failed or wrong one leaves the folder as it was.
//
// Lives on the thread that created it (the main thread); callbacks run there.
class ITUDataFiles : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 monthFileBytes = 11197844;
    // What a download may take between two pieces of data.
    static constexpr int downloadTimeoutMs = 120000;

    // No error: the month's file is there.
    using Done = std::function<void(const std::optional<ITUEngineError>&)>;

    // `folder` is the data folder; `bundleFolder` holds the files that come
    // with the application (it may be missing or empty).
    ITUDataFiles(const QString& folder, const QString& bundleFolder, QObject* parent = nullptr);
    // Downloads still running are abandoned; their callers are not called.
    ~ITUDataFiles() override;

    // "ionos%02d.bin".
    static QString fileName(int month);

    // The data folder, created with its parents on every call; a failure to
    // create it shows up in the next file operation.
    QString folder() const;
    // The month's file is there with exactly monthFileBytes bytes.
    bool hasData(int month) const;
    bool isDownloading(int month) const { return m_downloads.contains(month); }

    // Copies the bundled files that the data folder lacks, then calls `done`:
    // at once when the month's file is there, else when its download ends.
    // A caller that arrives during a download of that month waits for it and
    // gets the same outcome. A failure is not remembered: the next call
    // tries again.
    void prepare(int month, const Done& done);

    // Tests stand in for a server that stops answering.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    struct Download;

    void copyBundledFiles() const;
    void startDownload(int month);
    void finish(int month, const std::optional<ITUEngineError>& outcome);

    QString m_folder;
    QString m_bundleFolder;
    int m_timeoutMs = downloadTimeoutMs;
    QNetworkAccessManager* m_network = nullptr;
    QHash<int, std::shared_ptr<Download>> m_downloads;
};

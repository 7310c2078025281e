#pragma once

#include "prediction/ITUEngineError.h"
#include "support/RetryBackoff.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>


// The data files the P.533 engine reads from its data folder for a month:
// the month's ionosphere file ("ionos07.bin"), its noise coefficients
// ("COEFF07W.txt") and the decile factors every month shares
// ("P1239-3 Decile Factors.txt"). Before a run all three must be there:
// files that come with the application are copied in first, and a file
// still missing is downloaded from the ITU-R HF data repository, once
// however many callers ask for it at the same time; a download ends when
// the server sends nothing for 2 minutes, when it is not complete after 15,
// and once it brings more than the month file's size. A failed download is
// not tried again before its back-off has passed (RetryBackoff); until
// then its failure is the answer. Files are never deleted; a good download
// replaces its file in one step, and a failed or wrong one leaves the
// folder as it was.
//
// Lives on the thread that created it (the main thread); callbacks run there.
class ITUDataFiles : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 monthFileBytes = 11197844;
    // What a download may take between two pieces of data, and in all.
    static constexpr int downloadTimeoutMs = 120000;
    static constexpr int downloadLimitMs = 15 * 60 * 1000;

    // No error: the month's files are there.
    using Done = std::function<void(const std::optional<ITUEngineError>&)>;
    using Backoff = RetryBackoff<ITUEngineError>;

    // `folder` is the data folder; `bundleFolder` holds the files that come
    // with the application (it may be missing or empty).
    ITUDataFiles(const QString& folder, const QString& bundleFolder, QObject* parent = nullptr);
    // Downloads still running are abandoned; their callers are not called.
    ~ITUDataFiles() override;

    // "ionos%02d.bin".
    static QString fileName(int month);
    // "COEFF%02dW.txt".
    static QString noiseFileName(int month);
    static QString decileFileName();
    // The three files of a month, in the order they are fetched.
    static QStringList fileNames(int month);

    // The data folder, created with its parents on every call; a failure to
    // create it shows up in the next file operation.
    QString folder() const;
    // The file is there: the month file with exactly monthFileBytes bytes,
    // the others with any bytes at all.
    bool hasFile(const QString& name) const;
    // All three files of the month are there.
    bool hasData(int month) const;
    bool isDownloading(const QString& name) const { return m_downloads.contains(name); }

    // Copies the bundled files that the data folder lacks, then calls `done`:
    // at once when the month's files are there (or a missing one still waits
    // out a failed download), else when the downloads end, with the first
    // file's failure. A caller that arrives during a download waits for it
    // and gets the same outcome.
    void prepare(int month, const Done& done);

    // Forgets the failed downloads: the next prepare() tries again.
    void forgetFailures() { m_failures.clear(); }
    // Tests move the back-off's time along and stand in for a server that
    // stops answering.
    void setClock(Backoff::Clock clock) { m_failures.setClock(std::move(clock)); }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    void setLimitMs(int ms) { m_limitMs = ms; }

private:
    struct Pending;

    void copyBundledFiles() const;
    void startDownload(const QString& name);
    void finish(const QString& name, const std::optional<ITUEngineError>& outcome);

    QString m_folder;
    QString m_bundleFolder;
    int m_timeoutMs = downloadTimeoutMs;
    int m_limitMs = downloadLimitMs;
    QHash<QString, std::shared_ptr<Pending>> m_downloads;
    Backoff m_failures;
};

#pragma once

#include "prediction/ITUEngineError.h"
#include "prediction/P533.h"

#include <QList>
#include <QObject>
#include <QString>

#include <chrono>
#include <expected>
#include <functional>

class EngineRun;
class ITUDataFiles;

// The ITU-R P.533 engine service. The engine is an outside program,
// "ITURHFProp" with its libraries, that the user puts into the folder "ITU"
// beside the application's executable; the application does not bring it.
// Each request runs as one engine process in a work folder of its own; a
// job of several requests runs them all at once and joins their rows. The
// month's data file is made ready before every run (ITUDataFiles).
//
// Lives on the main thread; results come back there, always from the event
// loop, never from within the call that asked. Destroying the service kills
// the engines still running and removes their work folders.
class ITUEngine : public QObject {
    Q_OBJECT
public:
    using Rows = QList<P533::Row>;
    using Result = std::expected<Rows, ITUEngineError>;
    using Done = std::function<void(const Result&)>;

    // A run that takes longer is stopped and fails.
    static constexpr std::chrono::milliseconds defaultRunLimit = std::chrono::minutes(10);

    struct Folders {
        QString engine;      // "ITURHFProp" and its libraries
        QString data;        // the monthly data files
        QString bundledData; // data files that come with the application
        QString work;        // where the runs' work folders are made

        // "ITU" beside the executable; the support folder's "ITU";
        // "Resources/ITUData" beside the executable; the temporary folder.
        static Folders standard();
    };

    // The standard engine folder.
    static QString engineFolder();
    // The engine program in the folder may be run by this user; looked at
    // afresh at every call.
    static bool isAvailable(const QString& engineFolder = ITUEngine::engineFolder());
    // What the user reads while the engine is missing: where to put it.
    static QString notInstalledText();

    explicit ITUEngine(const Folders& folders = Folders::standard(), QObject* parent = nullptr);
    ~ITUEngine() override;

    const Folders& folders() const { return m_folders; }
    bool available() const { return isAvailable(m_folders.engine); }
    ITUDataFiles& dataFiles() const { return *m_data; }
    // Engines started and not yet ended.
    int running() const;

    // One request: the month's data, then the engine. Fails with
    // notInstalled when there is no engine.
    void run(const P533::Request& request, const Done& done);
    // All requests at once, their rows in the order the runs end. An empty
    // list gives no rows at once. The month of the first request is made
    // ready before any engine starts. When a run fails the job fails with
    // the first failure, reported once every engine of the job has ended.
    void runAll(const QList<P533::Request>& requests, const Done& done);

    void setRunLimit(std::chrono::milliseconds limit) { m_runLimit = limit; }

private:
    void startRun(const P533::Request& request, const Done& done);

    Folders m_folders;
    ITUDataFiles* m_data = nullptr;
    std::chrono::milliseconds m_runLimit = defaultRunLimit;
};

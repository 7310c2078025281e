#pragma once

#include "prediction/ITUEngineError.h"
#include "prediction/P533.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <expected>
#include <functional>

class QProcess;

// One run of the P.533 engine for one request: a work folder of its own
// ("Corvanta-ITU-" and a fresh UUID) with the antenna file and the input
// file, the engine process started in the engine folder with that folder as
// its library path, and the report read back. The work folder goes away
// when the run ends, however it ends, and also when the run is destroyed
// while the engine still works (the engine is killed then).
class EngineRun : public QObject {
    Q_OBJECT
public:
    using Result = std::expected<QList<P533::Row>, ITUEngineError>;
    using Done = std::function<void(const Result&)>;

    struct Setup {
        QString engineFolder; // holds "ITURHFProp" and its libraries
        QString dataFolder;   // the monthly data files, for the input file
        QString workParent;   // where the work folder is made
        std::chrono::milliseconds limit;
    };

    EngineRun(Setup setup, P533::Request request, QObject* parent = nullptr);
    ~EngineRun() override;

    // Writes the files and starts the engine; `done` is called once, after
    // the work folder is gone, from the event loop (never from within start).
    void start(Done done);

    // What the user is told of a failed run: the first 300 characters the
    // engine wrote to standard error; when that is empty, the last 300 it
    // wrote to standard output (where the engine prints its complaints);
    // when both are empty, "exit code N". Characters are the ones a reader
    // sees, so none is cut in half.
    static QString failureDetail(const QByteArray& standardError, const QByteArray& standardOutput, int exitCode);
    static constexpr int detailCharacters = 300;

    // "10 minutes", "1 minute", "0.25 seconds".
    static QString spanText(std::chrono::milliseconds span);

private:
    void fail(const ITUEngineError& error);
    void onFinished(int exitCode, bool crashed);
    void end(const Result& result);
    void removeWorkFolder();

    Setup m_setup;
    P533::Request m_request;
    Done m_done;
    QString m_workFolder;
    QProcess* m_process = nullptr;
    QTimer m_limitTimer;
    bool m_timedOut = false;
    bool m_ended = false;
    QByteArray m_standardError;  // the beginning, as much as a detail can use
    QByteArray m_standardOutput; // the end, likewise
};

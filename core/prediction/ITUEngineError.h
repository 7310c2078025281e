#pragma once

#include <QString>

// What can stop a P.533 engine run, with the message the user reads.
struct ITUEngineError {
    enum class Kind {
        download,     // the month's data file could not be fetched
        failed,       // the engine ran and gave no result
        notInstalled, // no runnable engine in the engine folder
        other,        // a file, network or process error, passed on as it is
    };

    Kind kind = Kind::other;
    // download: what went wrong; failed: the engine's complaint;
    // notInstalled: the engine folder; other: the finished message.
    QString detail;

    static ITUEngineError download(const QString& what) { return { Kind::download, what }; }
    static ITUEngineError failed(const QString& complaint) { return { Kind::failed, complaint }; }
    static ITUEngineError notInstalled(const QString& engineFolder) { return { Kind::notInstalled, engineFolder }; }
    static ITUEngineError other(const QString& message) { return { Kind::other, message }; }

    QString description() const;

    // Where the user is told to put the engine when it is missing; the
    // settings say the same.
    static QString notInstalledText(const QString& engineFolder);

    friend bool operator==(const ITUEngineError&, const ITUEngineError&) = default;
};

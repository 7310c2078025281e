#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A temporary installation of the stand-in P.533 engine ("fake_iturhfprop",
// built next to the tests, copied in as "ITURHFProp") with its folders:
// the engine folder, a data folder that holds every month's data files
// (the ionosphere file at its exact size, the noise coefficients and the
// decile factors), an empty bundled-data folder and a work parent where the
// runs make their work folders.
class FakeEngine {
public:
    // `withData` false leaves the data folder empty.
    explicit FakeEngine(bool withData = true);

    bool isValid() const { return m_root.isValid(); }
    QString engineFolder() const { return m_root.path() + "/ITU"; }
    QString dataFolder() const { return m_root.path() + "/data"; }
    QString bundledDataFolder() const { return m_root.path() + "/ITUData"; }
    QString workParent() const { return m_root.path() + "/work"; }

    // The stand-in's switches ("key value" lines; see fake_iturhfprop.cpp).
    void setControl(const QString& lines);
    // Removes the program: no engine installed.
    void uninstall();
    // "start PID IN" and "end PID" lines, one per run begun or ended.
    QStringList log() const;
    int started() const;
    int ended() const;
    // How often each request (the input without its antenna path) was run.
    QHash<QString, int> requests() const;
    // The runs' work folders still in the work parent.
    QStringList leftoverWorkFolders() const;

    // A file of exactly the engine's data size (sparse).
    static bool writeMonthFile(const QString& path, qint64 bytes);
    // The data files the engine reads for a month, into `folder`.
    static bool writeDataFiles(const QString& folder, int month);

private:
    QTemporaryDir m_root;
};

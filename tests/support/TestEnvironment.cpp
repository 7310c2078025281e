#include "support/TestEnvironment.h"

#include "maintenance/FirstStartState.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

// Deliberately leaked: the folders must outlive every test in the process.
QTemporaryDir*& userFolders()
{
    static QTemporaryDir* root = nullptr;
    return root;
}

} // namespace

namespace TestEnvironment {

void isolateUserFolders()
{
    QTemporaryDir*& root = userFolders();
    if (!root)
        root = new QTemporaryDir(QDir::tempPath() + "/corvanta-test-XXXXXX");
    const QString base = root->path();
    for (const char* name : { "config", "data", "cache", "runtime" })
        QDir().mkpath(base + "/" + name);
    setenv("XDG_CONFIG_HOME", qPrintable(base + "/config"), 1);
    setenv("XDG_DATA_HOME", qPrintable(base + "/data"), 1);
    setenv("XDG_CACHE_HOME", qPrintable(base + "/cache"), 1);
    QFile::setPermissions(base + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("XDG_RUNTIME_DIR", qPrintable(base + "/runtime"), 1);
    // No notification of a test reaches the desktop: there is no session
    // bus unless a test starts its own.
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

void clearProxies()
{
    for (const char* name : proxyVariables)
        unsetenv(name);
}

void setProxies(const QByteArray& settings)
{
    clearProxies();
    for (const QByteArray& setting : settings.split(';')) {
        const QByteArray name = setting.left(setting.indexOf('='));
        setenv(name.constData(), setting.mid(name.size() + 1).constData(), 1);
    }
}

int finish(int result)
{
    // A failed run keeps its folders for what the tests left there (a map
    // frame that differs from its reference, say); a passed one would only
    // pile up in the temporary folder, one per test process.
    if (result == 0 && userFolders())
        userFolders()->remove();
    return result;
}

void keepFeedsLocal()
{
    // Port 9 (discard) is closed on a test machine: the connection is
    // refused at once.
    setenv("CORVANTA_FEEDS_BASE", "http://127.0.0.1:9", 0);
}

void markInstallReported()
{
    const QString file = QString::fromLocal8Bit(std::getenv("XDG_DATA_HOME"))
        + QStringLiteral("/Corvanta/") + QLatin1String(FirstStartState::fileName);
    FirstStartState { QStringLiteral("test"), FirstStartState::maxTries, true }.write(file);
}

QString sourceDir()
{
    if (const char* dir = std::getenv("CORVANTA_SOURCE_DIR"); dir && *dir)
        return QString::fromLocal8Bit(dir);
    return QDir::currentPath();
}

QString sharedDataDir() { return QDir(sourceDir() + "/../shared/data").absolutePath(); }

} // namespace TestEnvironment

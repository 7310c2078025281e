#include "prediction/ITUEngine.h"

#include "kit/AppLog.h"
#include "prediction/EngineRun.h"
#include "prediction/ITUDataFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <memory>

namespace {

QString besideExecutable(const QString& name)
{
    // Without the application object there is no executable folder to go
    // by; the current folder stands in (tests create the object first).
    const QString base = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return base + QLatin1Char('/') + name;
}

} // namespace

ITUEngine::Folders ITUEngine::Folders::standard()
{
    return Folders {
        engineFolder(),
        AppLog::folder()
            + QStringLiteral("/ITU"),
                             besideExecutable(QStringLiteral("Resources/ITUData")), QDir::tempPath(),
              };
}

QString ITUEngine::engineFolder() { return besideExecutable(QStringLiteral("ITU")); }

bool ITUEngine::isAvailable(const QString& engineFolder)
{
    const QFileInfo program(QDir(engineFolder).absoluteFilePath(QStringLiteral("ITURHFProp")));
    return program.isFile() && program.isExecutable();
}

QString ITUEngine::notInstalledText() { return ITUEngineError::notInstalledText(engineFolder()); }

ITUEngine::ITUEngine(const Folders& folders, QObject* parent)
    : QObject(parent)
    , m_folders(folders)
    , m_data(new ITUDataFiles(folders.data, folders.bundledData, this))
{
}

// The runs are children: each kills its engine and removes its folder.
ITUEngine::~ITUEngine() = default;

int ITUEngine::running() const { return int(findChildren<EngineRun*>(Qt::FindDirectChildrenOnly).size()); }

void ITUEngine::run(const P533::Request& request, const Done& done)
{
    // From the event loop, so the caller's own call returns first.
    QMetaObject::invokeMethod(
        this, [this, request, done] { startRun(request, done); }, Qt::QueuedConnection);
}

void ITUEngine::startRun(const P533::Request& request, const Done& done)
{
    if (!available()) {
        done(std::unexpected(ITUEngineError::notInstalled(m_folders.engine)));
        return;
    }
    m_data->prepare(request.month, [this, request, done](const std::optional<ITUEngineError>& error) {
        if (error) {
            done(std::unexpected(*error));
            return;
        }
        const EngineRun::Setup setup { m_folders.engine, m_data->folder(), m_folders.work, m_runLimit };
        auto* run = new EngineRun(setup, request, this);
        run->start([run, done](const EngineRun::Result& result) {
            run->deleteLater();
            done(result);
        });
    });
}

void ITUEngine::runAll(const QList<P533::Request>& requests, const Done& done)
{
    QMetaObject::invokeMethod(
        this,
        [this, requests, done] {
            if (requests.isEmpty()) {
                done(Rows {});
                return;
            }
            m_data->prepare(requests.first().month, [this, requests, done](const std::optional<ITUEngineError>& error) {
                if (error) {
                    done(std::unexpected(*error));
                    return;
                }
                struct Job {
                    qsizetype remaining;
                    Rows rows;
                    std::optional<ITUEngineError> error;
                };
                auto job = std::make_shared<Job>(Job { requests.size(), {}, std::nullopt });
                for (const P533::Request& request : requests)
                    startRun(request, [job, done](const Result& result) {
                        if (!result) {
                            if (!job->error)
                                job->error = result.error();
                        } else if (!job->error) {
                            job->rows += *result;
                        }
                        if (--job->remaining > 0)
                            return;
                        if (job->error)
                            done(std::unexpected(*job->error));
                        else
                            done(job->rows);
                    });
            });
        },
        Qt::QueuedConnection);
}

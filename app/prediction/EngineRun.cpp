#include "prediction/EngineRun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSaveFile>
#include <QTextBoundaryFinder>
#include <QUuid>

#include <csignal>
#include <sys/prctl.h>

namespace {

// Enough of each stream for a detail of 300 characters, whatever they are;
// the rest is drained and dropped so a talkative engine cannot fill memory.
constexpr qsizetype keptBytes = 64 * 1024;

const QString programName = QStringLiteral("ITURHFProp");

QString firstCharacters(const QString& text, int count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (int i = 0; i < count; ++i)
        if (finder.toNextBoundary() < 0)
            return text;
    return text.left(finder.position());
}

QString lastCharacters(const QString& text, int count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    for (int i = 0; i < count; ++i)
        if (finder.toPreviousBoundary() < 0)
            return text;
    return text.mid(finder.position());
}

std::optional<QString> writeWhole(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) < 0 || !file.commit())
        return QStringLiteral("Could not write %1: %2").arg(path, file.errorString());
    return std::nullopt;
}

} // namespace

EngineRun::EngineRun(Setup setup, P533::Request request, QObject* parent)
    : QObject(parent)
    , m_setup(std::move(setup))
    , m_request(std::move(request))
{
    m_limitTimer.setSingleShot(true);
    connect(&m_limitTimer, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        if (m_process)
            m_process->kill(); // finished follows
    });
}

EngineRun::~EngineRun()
{
    if (m_process) {
        m_process->disconnect(this);
        if (m_process->state() != QProcess::NotRunning) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    removeWorkFolder();
}

void EngineRun::start(Done done)
{
    m_done = std::move(done);

    m_workFolder = QDir(m_setup.workParent)
                       .absoluteFilePath(QStringLiteral("Corvanta-ITU-")
                                                        + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
    const QString antennaPath = m_workFolder + QStringLiteral("/tx.ant");
    const QString inputPath = m_workFolder + QStringLiteral("/in.txt");
    const QString outputPath = m_workFolder + QStringLiteral("/out.txt");

    // The input text is made first: a path it cannot carry ends the run
    // before anything is created.
    const auto input = P533::inputFile(m_request, m_setup.dataFolder, antennaPath);
    if (!input)
        return fail(ITUEngineError::failed(input.error()));
    if (!QDir().mkpath(m_workFolder)) {
        const QString folder = m_workFolder;
        m_workFolder.clear(); // nothing of ours to remove
        return fail(ITUEngineError::other(QStringLiteral("Could not create the folder %1").arg(folder)));
    }
    if (const auto error = writeWhole(antennaPath, m_request.setup.antennas.type14File().toUtf8()))
        return fail(ITUEngineError::other(*error));
    if (const auto error = writeWhole(inputPath, *input))
        return fail(ITUEngineError::other(*error));

    m_process = new QProcess(this);
    m_process->setProgram(QDir(m_setup.engineFolder).absoluteFilePath(programName));
    m_process->setArguments({ QStringLiteral("-s"), inputPath, outputPath });
    const QString engineFolder = QDir(m_setup.engineFolder).absolutePath();
    m_process->setWorkingDirectory(engineFolder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_LIBRARY_PATH"), engineFolder);
    environment.insert(QStringLiteral("DYLD_LIBRARY_PATH"), engineFolder);
    m_process->setProcessEnvironment(environment);
    m_process->setStandardInputFile(QProcess::nullDevice());
    // An engine left behind by a crashed application stops with it.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });

    connect(m_process, &QProcess::readyReadStandardError, this, [this] {
        const QByteArray chunk = m_process->readAllStandardError();
        if (m_standardError.size() < keptBytes)
            m_standardError += chunk.left(keptBytes - m_standardError.size());
    });
    connect(m_process, &QProcess::readyReadStandardOutput, this, [this] {
        m_standardOutput += m_process->readAllStandardOutput();
        if (m_standardOutput.size() > keptBytes)
            m_standardOutput = m_standardOutput.right(keptBytes);
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            fail(ITUEngineError::other(m_process->errorString()));
    });
    connect(m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) { onFinished(exitCode, status == QProcess::CrashExit); });

    m_limitTimer.start(m_setup.limit);
    m_process->start();
}

void EngineRun::onFinished(int exitCode, bool crashed)
{
    m_limitTimer.stop();
    // Whatever is still in the pipes belongs to the detail.
    m_standardError += m_process->readAllStandardError();
    m_standardOutput += m_process->readAllStandardOutput();

    if (m_timedOut)
        return fail(ITUEngineError::failed(
            QStringLiteral("the engine did not finish within %1 and was stopped").arg(spanText(m_setup.limit))));

    QString report;
    QFile output(m_workFolder + QStringLiteral("/out.txt"));
    if (output.open(QIODevice::ReadOnly))
        report = QString::fromUtf8(output.readAll());
    // A point's report may leave its receive point out; an area's may not.
    auto rows = P533::parse(report, m_request.onePoint());
    if (crashed || exitCode != 0)
        return fail(ITUEngineError::failed(failureDetail(m_standardError, m_standardOutput, exitCode)));
    // A report of a layout that cannot be read is refused, never misread.
    if (!rows)
        return fail(ITUEngineError::failed(rows.error()));
    if (!rows->isEmpty())
        return end(std::move(*rows));
    fail(ITUEngineError::failed(failureDetail(m_standardError, m_standardOutput, exitCode)));
}

void EngineRun::fail(const ITUEngineError& error) { end(std::unexpected(error)); }

void EngineRun::end(const Result& result)
{
    if (m_ended)
        return;
    m_ended = true;
    m_limitTimer.stop();
    removeWorkFolder();
    // Always from the event loop, so a caller's start() returns first.
    QMetaObject::invokeMethod(
        this, [this, result] { m_done(result); }, Qt::QueuedConnection);
}

void EngineRun::removeWorkFolder()
{
    if (m_workFolder.isEmpty())
        return;
    QDir(m_workFolder).removeRecursively();
    m_workFolder.clear();
}

QString EngineRun::failureDetail(const QByteArray& standardError, const QByteArray& standardOutput, int exitCode)
{
    if (!standardError.isEmpty())
        return firstCharacters(QString::fromUtf8(standardError), detailCharacters);
    const QString output = QString::fromUtf8(standardOutput).trimmed();
    if (!output.isEmpty())
        return lastCharacters(output, detailCharacters);
    return QStringLiteral("exit code %1").arg(exitCode);
}

QString EngineRun::spanText(std::chrono::milliseconds span)
{
    const qint64 ms = span.count();
    if (ms > 0 && ms % 60000 == 0)
        return ms == 60000 ? QStringLiteral("1 minute") : QStringLiteral("%1 minutes").arg(ms / 60000);
    return QStringLiteral("%1 seconds").arg(QString::number(double(ms) / 1000.0, 'g', 6));
}

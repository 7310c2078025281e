// A desktop's notification service as far as the alert tests need it, for a
// private D-Bus daemon to start on demand: it takes the service's name on the
// bus that started it, answers GetCapabilities with "body" alone, and appends
// each Notify's summary and body to the file named by its argument, as one
// line with a tab between them. It ends when its bus goes away.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QTimer>
#include <QVariantMap>

namespace {

class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    explicit NotificationService(QString record)
        : m_record(std::move(record))
    {
    }

public Q_SLOTS:
    QStringList GetCapabilities() { return { QStringLiteral("body") }; }

    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body, const QStringList&,
                const QVariantMap&, int)
    {
        QFile file(m_record);
        if (file.open(QIODevice::Append))
            file.write((summary + u'\t' + body + u'\n').toUtf8());
        return ++m_count;
    }

private:
    QString m_record;
    uint m_count = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::ActivationBus, QStringLiteral("starter"));
    NotificationService service(QString::fromLocal8Bit(argv[1]));
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service, QDBusConnection::ExportAllSlots)
                            || !bus.registerService(QStringLiteral("org.freedesktop.Notifications")))
        return 1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &app, [&bus] {
        if (!bus.isConnected())
            QCoreApplication::quit();
    });
    watch.start(200);
    return app.exec();
}

#include "fake_notification_service.moc"

#include "kit/EventLoopEnd.h"

#include <QCoreApplication>

namespace EventLoopEnd {

void cutOff(QObject* object)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (!application)
        return;
    QObject::connect(application, &QCoreApplication::aboutToQuit, object, [object] {
        // At once, its parts too (a notifier, a timer): a destructor run
        // meanwhile (a process killed and waited for) would otherwise still
        // report to the handlers.
        object->blockSignals(true);
        for (QObject* part : object->findChildren<QObject*>())
            part->blockSignals(true);
        object->deleteLater();
    });
}

} // namespace EventLoopEnd

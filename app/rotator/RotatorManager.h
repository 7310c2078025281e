#pragma once

#include "rotator/RotatorConfig.h"

#include <QList>
#include <QObject>
#include <QUuid>

// The rotator manager, one per application (owned by CorvantaApp). For now
// a shell that starts no worker.
class RotatorManager : public QObject {
    Q_OBJECT
public:
    explicit RotatorManager(QObject* parent = nullptr);

    // The configured rotators, in configured order.
    QList<RotatorConfig> rotators() const;
    // Turns one rotator towards a true bearing in degrees (any value; it is
    // reduced to 0...360 here).
    void turn(const QUuid& id, double bearing);
    // Stops every rotator and drops its pending target.
    void stopAll();
};

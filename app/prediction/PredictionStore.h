#pragma once

#include <QObject>

// The prediction store that runs the propagation engine. For now a shell.
class PredictionStore : public QObject {
    Q_OBJECT
public:
    explicit PredictionStore(QObject* parent = nullptr);
};

#include "prediction/PredictionStore.h"

PredictionStore::PredictionStore(QObject* parent)
    : QObject(parent)
{
}

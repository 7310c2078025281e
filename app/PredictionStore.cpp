#include "PredictionStore.h"

PredictionStore::PredictionStore(QObject* parent)
    : QObject(parent)
{
}

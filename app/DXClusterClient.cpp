#include "DXClusterClient.h"

DXClusterClient::DXClusterClient(QObject* parent)
    : QObject(parent)
{
}

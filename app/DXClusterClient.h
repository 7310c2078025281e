#pragma once

#include <QObject>

// The DX cluster client and spot store. For now a shell that starts nothing.
class DXClusterClient : public QObject {
    Q_OBJECT
public:
    explicit DXClusterClient(QObject* parent = nullptr);
};

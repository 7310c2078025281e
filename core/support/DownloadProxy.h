#pragma once

#include <QString>
#include <QUrl>

// The proxy a request goes through, chosen as curl would choose it from the
// variables a user sets (http_proxy for http; https_proxy or HTTPS_PROXY for
// https; all_proxy or ALL_PROXY for either; no_proxy or NO_PROXY to leave
// hosts out), but chosen here and handed to curl, so that a failure can be
// told as the proxy's when it was one that carried the request.
struct DownloadProxy {
    QByteArray address; // as the user wrote it, for curl; empty for none
    QString host;       // what the connection goes to
    QString name;       // "HOST:PORT", for the user's words

    static DownloadProxy of(const QUrl& url);
};

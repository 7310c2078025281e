#pragma once

#include <QString>
#include <QUrl>

// The proxy a request goes through, chosen from the variables a user sets as
// libcurl 7.88 chooses it, byte for byte (http_proxy for http, never
// HTTP_PROXY; https_proxy, then HTTPS_PROXY for https; all_proxy, then
// ALL_PROXY for either; no_proxy, then NO_PROXY to leave hosts out; an empty
// value as none), and the address read by curl's own parser. Chosen here and
// handed to curl, so that a failure can be told as the proxy's when it was
// one that carried the request, and a setting curl does not take as that
// setting's.
struct DownloadProxy {
    QByteArray address; // as the user wrote it, for curl; empty for none
    QString host;       // what the connection goes to
    QString name;       // "HOST:PORT", for the user's words
    QString variable;   // the variable it was set in
    bool usable = true; // false where curl would not take the setting
    bool tls = false;   // spoken to in TLS (https://)
    bool socks = false; // it speaks SOCKS, not HTTP
    bool user = false;  // a user and password go to it

    static DownloadProxy of(const QUrl& url);
};

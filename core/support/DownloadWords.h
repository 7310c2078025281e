#pragma once

#include <QString>

// The words of a download that failed, one form for each cause, each naming
// whose it was: the server by its host, a proxy by its host and port, the
// network. Made from what the transfer says in facts (curl's result codes,
// the system's error number, the proxy's status), never from the library's
// text, which goes only to the log as the detail where it helps.
namespace DownloadWords {

QString cannotReach(); // "The network cannot be reached."
// `from` as the answer's sender: "127.0.0.1", "the proxy at 127.0.0.1:3128".
QString tooLarge(const QString& from);
QString largerThan(const QString& from, qint64 cap);
QString notDecodable(const QString& host);
QString proxy(const QString& hostAndPort);
// A proxy's 407: it asks for a password, or refused the one it was given.
QString proxyRefusal(const QString& hostAndPort, bool userGiven);
QString proxySetting(const QString& variable); // one curl does not take

// What curl told of a transfer that failed.
struct Facts {
    int result = 0;
    QString words;        // curl's own, for the log only
    long osError = 0;     // of the connection that failed
    long connectCode = 0; // the proxy's answer to CONNECT
    long verifyResult = 0; // of the server's certificate
    QString host;
    QString proxy;        // "HOST:PORT" where one carried the request
    bool proxyTls = false;  // spoken to in TLS (an https:// proxy)
    bool proxyUser = false; // given a user and password
    long proxyError = 0;    // a SOCKS proxy's failure (curl's CURLPX_*)
    long proxyVerifyResult = 0; // of the proxy's certificate
    bool tunnel = false;    // the proxy's part was done: what followed was the server's
    bool answered = false; // something of an answer came
    bool headDone = false; // its final head came whole
    bool delivered = false; // the request went out
};
struct Said {
    QString text;
    QString detail; // the library's words, for the log
};
Said transport(const Facts& facts);

} // namespace DownloadWords

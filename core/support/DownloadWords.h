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
QString proxyAsksPassword(const QString& hostAndPort);
QString proxySetting(const QString& variable); // one curl does not take

// Whether `host` is out of reach for want of a network: it is not this
// machine, and no interface but the loopback one is up with an address,
// whatever the lookup or the socket says.
bool offline(const QString& host);

// What curl told of a transfer that failed.
struct Facts {
    int result = 0;
    QString words;        // curl's own, for the log only
    long osError = 0;     // of the connection that failed
    long connectCode = 0; // the proxy's answer to CONNECT
    long verifyResult = 0; // of the server's certificate
    QString host;
    QString proxy;        // "HOST:PORT" where one carried the request
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

#pragma once

#include <QByteArray>

// How curl speaks to the proxy at an address a user wrote, read as curl
// reads it (a scheme guessed where none is written): in TLS (https://), in
// SOCKS (socks4://, socks5h://, ...), and whether a user and password go
// with it. None of them for an address curl would not take.
struct ProxyWay {
    bool tls = false;
    bool socks = false;
    bool user = false;

    static ProxyWay of(const QByteArray& address);
};

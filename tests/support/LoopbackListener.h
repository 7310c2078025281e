#pragma once

// Opens a listening TCP socket on 127.0.0.1 at a free port chosen by the
// system; returns the descriptor (or -1) and sets `port`.
int listenOnLoopback(int backlog, int& port);

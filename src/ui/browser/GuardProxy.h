#pragma once
// The browser engine's one way out (see LocalNetworkGuard.h): a SOCKS5 proxy
// on the loopback address. For each connection the engine asks for by host and
// port it applies the engine's resolver rules, resolves the name itself, drops
// the addresses the guard forbids for that host, and connects to one it kept;
// then it passes the bytes both ways. It runs in a thread of its own, so that a
// busy window never holds up a page's bytes, until the application object goes.
#include <cstdint>
#include <memory>

class QThread;

namespace corvix {

class NetworkPlaces;

class GuardProxy {
public:
    // Serves on listeningSocket (a native socket that listens already, as
    // ListenOnLoopback gives it) with what places knows, until destroyed.
    // Needs the application object.
    GuardProxy(std::intptr_t listeningSocket, NetworkPlaces *places);
    ~GuardProxy();
    GuardProxy(const GuardProxy &) = delete;
    GuardProxy &operator=(const GuardProxy &) = delete;

private:
    std::unique_ptr<QThread> thread_;
};

} // namespace corvix

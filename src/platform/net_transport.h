// Sessions of one game over UDP: the host opens a session on a port and relays every payload;
// the other players connect to it. Queries for sessions are answered only for the same game
// GUID. A service thread keeps connections alive between script calls; payloads wait in an
// inbox until the game drains them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tb {

using Guid = std::array<uint8_t, 16>;

struct NetSessionInfo {
    Guid instance{};
    std::string name;
    uint32_t host = 0;  // IPv4 address as the socket layer keeps it
    uint16_t port = 0;
};

struct NetPlayer {
    uint32_t id = 0;
    std::string name;
};

struct NetPayload {
    uint32_t from = 0;
    std::vector<uint8_t> bytes;
};

class NetTransport {
  public:
    // Where sessions are looked for and opened when the address names no port.
    static constexpr uint16_t kDefaultPort = 34760;
    // Payloads kept for the game beyond which new ones are dropped (its own queue is smaller).
    static constexpr size_t kInboxLimit = 8000;

    explicit NetTransport(const Guid& game);
    ~NetTransport();
    NetTransport(const NetTransport&) = delete;
    NetTransport& operator=(const NetTransport&) = delete;

    // The address that sessions are found at ("" for a broadcast on the local network) and the
    // port they are found and opened on. False when the address does not resolve.
    bool SetAddress(std::string_view address, uint16_t port);

    // Sessions of this game that answer within a short wait.
    std::vector<NetSessionInfo> FindSessions();
    // Opens a session here (nothing listens before); `own_id` receives the local player's id.
    bool Create(std::string_view name, int max_players, bool migrate_host, std::string_view player,
                uint32_t& own_id);
    bool Join(const NetSessionInfo& session, std::string_view player, uint32_t& own_id);
    void Close();  // leaves (or, on the host, ends) the session
    bool InSession() const;

    // The other players of the session as last reported.
    std::vector<NetPlayer> RemotePlayers() const;
    // To player `to` (0 all the others); false when there is no session or no such player.
    bool Send(uint32_t to, const std::vector<uint8_t>& payload, bool guaranteed);
    // The oldest waiting payload; false when none is left.
    bool Receive(NetPayload& out);

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

// The machine's own IPv4 address in dotted decimal, or "".
std::string LocalIpAddress();

}  // namespace tb

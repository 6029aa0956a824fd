// The multiplayer module of one runner: the connection, the session, the player list, the
// queue of received messages and the shared data. Incoming traffic is taken in only when a
// function that receives asks for it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "multiplayer/message.h"
#include "platform/net_transport.h"

namespace tb {

// Received messages waiting to be taken; every entry before `first_unread` has been read.
class MessageQueue {
  public:
    static constexpr size_t kCapacity = 4000;
    void Append(const TMess& m);  // dropped when full even after compacting
    bool Take(int32_t player, TMess& out);
    int Count(int32_t player) const;
    void Clear(int32_t player);
    size_t size() const { return entries_.size(); }

  private:
    struct Entry {
        TMess message;
        bool read = false;
    };
    static bool Accepts(int32_t wanted, const TMess& m) {
        return wanted == 0 || (wanted > 0 && m.player == wanted);
    }
    void Compact();
    std::vector<Entry> entries_;
    size_t first_unread_ = 0;
};

enum ConnectionKind { kNotConnected = 0, kIpx = 1, kTcpip = 2, kModem = 3, kSerial = 4 };

class Multiplayer {
  public:
    static constexpr int64_t kMaxSharedIndex = 1000000;

    explicit Multiplayer(const Guid& game) : game_(game) {}

    bool InitTcpip(std::string_view address);
    // IPX, modem and serial links have no transport here: they never connect.
    bool InitUnavailable() { return false; }
    void End();
    bool SessionCreate(std::string_view name, int max_players, std::string_view player);
    int SessionFind();
    std::string SessionName(int index) const;
    bool SessionJoin(int index, std::string_view player);
    void SessionEnd();
    int RefreshPlayers();
    // The first listed player with exactly that name (after a refresh).
    bool PlayerByName(std::string_view name, int32_t& id);
    std::string PlayerName(int index) const;
    uint32_t PlayerId(int index) const;
    bool Send(int32_t to, int32_t id, const RValue& value, bool guaranteed);
    bool Receive(int32_t player);
    int MessageCount(int32_t player);
    void MessageClear(int32_t player);
    std::string MessageSenderName();
    bool DataWrite(int64_t index, const RValue& value);
    RValue DataRead(int64_t index);

    bool Connected() const { return connection_kind != kNotConnected; }
    bool InSession() const { return Connected() && session_status != 0; }

    int connection_kind = kNotConnected;
    int session_status = 0;  // 1 created here, 2 joined
    bool migrate_host = false;
    bool data_guaranteed = true;
    uint32_t own_player_id = 0;
    std::string own_player_name;
    TMess current_message;
    MessageQueue queue;
    std::vector<RValue> shared_data;

  private:
    void Drain();
    Guid game_;
    std::unique_ptr<NetTransport> transport_;
    std::vector<NetSessionInfo> sessions_;
    std::vector<NetPlayer> players_;
};

}  // namespace tb

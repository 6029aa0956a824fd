// The session transport on ENet. Control and data packets share channel 0; their first byte
// names them. Discovery queries are plain datagrams on the session's own port, taken off the
// socket before ENet sees them.
#include "platform/net_transport.h"

#include <enet/enet.h>
#include <netdb.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
#include <random>
#include <thread>

namespace tb {

namespace {

constexpr uint8_t kJoin = 'J';     // game guid, instance guid, name
constexpr uint8_t kRejoin = 'B';   // game guid, instance guid, id, name: back after a migration
constexpr uint8_t kWelcome = 'W';  // your id, migrate flag, then the other players
constexpr uint8_t kRefuse = 'R';
constexpr uint8_t kAdded = 'A';  // id, name, address
constexpr uint8_t kLeft = 'L';   // id
constexpr uint8_t kData = 'D';   // to, from, payload

constexpr char kQuery[6] = {'T', 'B', 'M', 'P', 'Q', 1};
constexpr char kReply[6] = {'T', 'B', 'M', 'P', 'R', 1};

constexpr size_t kMaxPacket = 64 * 1024;
constexpr size_t kMaxName = 255;
constexpr auto kFindWait = std::chrono::milliseconds(400);
constexpr auto kJoinWait = std::chrono::milliseconds(3000);
// How long the players of a session whose host left have to find the new one.
constexpr auto kMigrateWait = std::chrono::milliseconds(10000);

void StartEnet() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (enet_initialize() == 0) atexit(enet_deinitialize);
    });
}

struct Writer {
    std::vector<uint8_t> bytes;
    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v) {
        U8(uint8_t(v));
        U8(uint8_t(v >> 8));
    }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) U8(uint8_t(v >> (8 * i)));
    }
    void Raw(const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        bytes.insert(bytes.end(), b, b + n);
    }
    void Name(std::string_view s) {
        const size_t n = std::min(s.size(), kMaxName);
        U16(uint16_t(n));
        Raw(s.data(), n);
    }
};

// Reads what a peer sent; any read past the end leaves `ok` false.
struct Reader {
    const uint8_t* p;
    size_t left;
    bool ok = true;
    bool Take(size_t n) {
        if (!ok || left < n) return ok = false;
        return true;
    }
    uint8_t U8() {
        if (!Take(1)) return 0;
        --left;
        return *p++;
    }
    uint16_t U16() {
        const uint16_t lo = U8();
        return uint16_t(lo | U8() << 8);
    }
    uint32_t U32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(U8()) << (8 * i);
        return v;
    }
    void Raw(void* out, size_t n) {
        if (!Take(n)) return;
        std::memcpy(out, p, n);
        p += n;
        left -= n;
    }
    std::string Name() {
        const size_t n = U16();
        if (n > kMaxName || !Take(n)) return ok = false, std::string();
        std::string s(reinterpret_cast<const char*>(p), n);
        p += n;
        left -= n;
        return s;
    }
};

struct Member {
    uint32_t id = 0;
    std::string name;
    uint32_t address = 0;      // IPv4 as the host saw it (0: the host itself)
    ENetPeer* peer = nullptr;  // host side: the member's connection (null: not back yet)
};

}  // namespace

struct NetTransport::Impl {
    Guid game{};
    ENetAddress target{};  // where queries go
    bool broadcast = false;

    mutable std::mutex mu;  // everything below, and every call into `host`
    ENetHost* host = nullptr;
    ENetPeer* server = nullptr;  // a joined player's connection to the host
    bool hosting = false;
    bool host_lost = false;
    Guid instance{};
    std::string session_name;
    int max_players = 0;
    uint32_t own_id = 0;
    std::vector<Member> members;  // the other players
    std::deque<NetPayload> inbox;
    int welcome = 0;  // a joining player's answer: 1 welcomed, -1 refused
    // Host migration: whether the session moves to another player when its host leaves, where
    // it lives, and until when the players have to meet again at the new host.
    bool migrate = false;
    uint32_t host_id = 0;
    uint32_t session_address = 0;
    uint16_t session_port = 0;
    bool rejoining = false;
    std::chrono::steady_clock::time_point migrate_until{};

    std::thread service;
    std::atomic<bool> stop{false};
    std::mt19937 ids{std::random_device{}()};

    uint32_t NewId() {
        for (;;) {
            const uint32_t id = ids() & 0x7fffffff;
            if (id == 0 || id == own_id) continue;
            if (std::none_of(members.begin(), members.end(),
                             [&](const Member& m) { return m.id == id; }))
                return id;
        }
    }
    Member* FindMember(uint32_t id) {
        for (Member& m : members)
            if (m.id == id) return &m;
        return nullptr;
    }
    Member* FindPeer(ENetPeer* peer) {
        for (Member& m : members)
            if (m.peer == peer) return &m;
        return nullptr;
    }
    void Deliver(uint32_t from, const uint8_t* data, size_t n) {
        if (inbox.size() >= kInboxLimit) return;
        inbox.push_back(NetPayload{from, std::vector<uint8_t>(data, data + n)});
    }
    static void SendTo(ENetPeer* peer, const std::vector<uint8_t>& bytes, bool reliable) {
        ENetPacket* packet = enet_packet_create(bytes.data(), bytes.size(),
                                                reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
        if (packet && enet_peer_send(peer, 0, packet) != 0) enet_packet_destroy(packet);
    }
    void SendToMembers(const std::vector<uint8_t>& bytes, bool reliable, ENetPeer* except) {
        for (const Member& m : members)
            if (m.peer && m.peer != except) SendTo(m.peer, bytes, reliable);
    }
    static std::vector<uint8_t> DataPacket(uint32_t to, uint32_t from, const uint8_t* payload,
                                           size_t n) {
        Writer w;
        w.U8(kData);
        w.U32(to);
        w.U32(from);
        w.Raw(payload, n);
        return std::move(w.bytes);
    }

    void SendWelcome(ENetPeer* peer, uint32_t id) {
        Writer w;
        w.U8(kWelcome);
        w.U32(id);
        w.U8(migrate ? 1 : 0);
        size_t count = 1;
        for (const Member& m : members) count += m.id != id;
        w.U16(uint16_t(count));
        w.U32(own_id);
        w.Name(player_name);
        w.U32(0);
        for (const Member& m : members) {
            if (m.id == id) continue;
            w.U32(m.id);
            w.Name(m.name);
            w.U32(m.address);
        }
        SendTo(peer, w.bytes, true);
    }
    // Tells the others of a new player and lists it.
    void Announce(Member m) {
        Writer added;
        added.U8(kAdded);
        added.U32(m.id);
        added.Name(m.name);
        added.U32(m.address);
        SendToMembers(added.bytes, true, nullptr);
        members.push_back(std::move(m));
    }
    void RemoveMember(uint32_t id) {
        std::erase_if(members, [&](const Member& x) { return x.id == id; });
        Writer left;
        left.U8(kLeft);
        left.U32(id);
        SendToMembers(left.bytes, true, nullptr);
    }

    void HostReceive(ENetPeer* peer, const ENetPacket* packet) {
        Reader r{packet->data, packet->dataLength};
        const uint8_t type = r.U8();
        Member* member = FindPeer(peer);
        if (type == kJoin && !member) {
            Guid g, inst;
            r.Raw(g.data(), 16);
            r.Raw(inst.data(), 16);
            const std::string name = r.Name();
            const bool full = max_players > 0 && int(members.size()) + 1 >= max_players;
            if (!r.ok || g != game || inst != instance || full) {
                SendTo(peer, {kRefuse}, true);
                enet_peer_disconnect_later(peer, 0);
                return;
            }
            const uint32_t id = NewId();
            SendWelcome(peer, id);
            Announce(Member{id, name, peer->address.host, peer});
            return;
        }
        if (type == kRejoin && !member) {
            Guid g, inst;
            r.Raw(g.data(), 16);
            r.Raw(inst.data(), 16);
            const uint32_t id = r.U32();
            const std::string name = r.Name();
            Member* back = FindMember(id);
            const bool full = max_players > 0 && int(members.size()) + 1 >= max_players;
            if (!r.ok || g != game || inst != instance || id == 0 || id == own_id ||
                (back && back->peer) || (!back && full)) {
                SendTo(peer, {kRefuse}, true);
                enet_peer_disconnect_later(peer, 0);
                return;
            }
            SendWelcome(peer, id);
            if (back) {
                back->peer = peer;
                back->address = peer->address.host;
            } else {
                Announce(Member{id, name, peer->address.host, peer});
            }
            return;
        }
        if (type != kData || !member) return;  // strangers and malformed packets are dropped
        const uint32_t to = r.U32();
        r.U32();  // the claimed sender: the connection says who it is
        if (!r.ok) return;
        const uint32_t from = member->id;
        if (to == 0 || to == own_id) Deliver(from, r.p, r.left);
        const bool reliable = packet->flags & ENET_PACKET_FLAG_RELIABLE;
        if (to == 0) {
            SendToMembers(DataPacket(0, from, r.p, r.left), reliable, peer);
        } else if (Member* m = FindMember(to); m && m->peer && m->peer != peer) {
            SendTo(m->peer, DataPacket(to, from, r.p, r.left), reliable);
        }
    }

    void ClientReceive(const ENetPacket* packet) {
        Reader r{packet->data, packet->dataLength};
        switch (r.U8()) {
            case kWelcome: {
                const uint32_t id = r.U32();
                const bool moves = r.U8() != 0;
                const size_t count = r.U16();
                std::vector<Member> list;
                for (size_t i = 0; i < count && r.ok; ++i) {
                    Member m;
                    m.id = r.U32();
                    m.name = r.Name();
                    m.address = r.U32();
                    list.push_back(std::move(m));
                }
                if (!r.ok || list.empty() || (welcome != 0 && !rejoining)) return;
                own_id = id;
                migrate = moves;
                host_id = list.front().id;
                members = std::move(list);
                welcome = 1;
                rejoining = false;
                return;
            }
            case kRefuse:
                if (welcome == 0) welcome = -1;
                return;
            case kAdded: {
                Member m;
                m.id = r.U32();
                m.name = r.Name();
                m.address = r.U32();
                if (r.ok && !FindMember(m.id)) members.push_back(std::move(m));
                return;
            }
            case kLeft: {
                const uint32_t id = r.U32();
                std::erase_if(members, [&](const Member& m) { return m.id == id; });
                return;
            }
            case kData: {
                r.U32();
                const uint32_t from = r.U32();
                if (r.ok && welcome == 1) Deliver(from, r.p, r.left);
                return;
            }
            default:
                return;
        }
    }

    void Handle(const ENetEvent& ev) {
        switch (ev.type) {
            case ENET_EVENT_TYPE_RECEIVE:
                if (hosting)
                    HostReceive(ev.peer, ev.packet);
                else if (ev.peer == server)
                    ClientReceive(ev.packet);
                enet_packet_destroy(ev.packet);
                break;
            case ENET_EVENT_TYPE_DISCONNECT:
                if (hosting) {
                    if (Member* m = FindPeer(ev.peer)) RemoveMember(m->id);
                } else if (ev.peer == server) {
                    server = nullptr;
                    if (welcome == 1 && migrate && !rejoining) {
                        Migrate();
                    } else if (rejoining && std::chrono::steady_clock::now() < migrate_until) {
                        reconnect_at = std::chrono::steady_clock::now() + kRetry;
                    } else {
                        // Without the host nobody is reachable any more.
                        host_lost = true;
                        rejoining = false;
                        members.clear();
                        if (welcome == 0) welcome = -1;
                    }
                }
                break;
            case ENET_EVENT_TYPE_CONNECT:
                if (!hosting && ev.peer == server && rejoining) {
                    Writer w;
                    w.U8(kRejoin);
                    w.Raw(game.data(), 16);
                    w.Raw(instance.data(), 16);
                    w.U32(own_id);
                    w.Name(player_name);
                    SendTo(server, w.bytes, true);
                }
                break;
            default:
                break;
        }
    }

    void Pump() {
        ENetEvent ev;
        while (host && enet_host_service(host, &ev, 0) > 0) Handle(ev);
        const auto now = std::chrono::steady_clock::now();
        if (hosting && migrate_until != decltype(migrate_until){} && now >= migrate_until) {
            // Players that did not come back to the new host have left.
            std::vector<uint32_t> gone;
            for (const Member& m : members)
                if (!m.peer) gone.push_back(m.id);
            for (uint32_t id : gone) RemoveMember(id);
            migrate_until = {};
        }
        // A connect to a new host that is not listening yet is tried again soon, not after
        // the transport's own long time-out.
        if (!hosting && rejoining && server && server->state != ENET_PEER_STATE_CONNECTED &&
            now >= reconnect_at + kRetry * 10) {
            enet_peer_reset(server);
            server = nullptr;
            reconnect_at = now;
        }
        if (becoming_host && now >= reconnect_at) TryHost();
        if (!hosting && rejoining && !server && now >= reconnect_at) {
            if (now < migrate_until) {
                Reconnect();
            } else {
                rejoining = false;
                host_lost = true;
                members.clear();
            }
        }
        if (host) enet_host_flush(host);
    }

    // The host left a session that moves: the remaining player with the lowest id opens it on
    // the same port and the others come back to it there.
    void Migrate() {
        std::erase_if(members, [&](const Member& m) { return m.id == host_id; });
        uint32_t next = own_id;
        for (const Member& m : members) next = std::min(next, m.id);
        migrate_until = std::chrono::steady_clock::now() + kMigrateWait;
        if (next == own_id) {
            becoming_host = true;
            TryHost();
            return;
        }
        host_id = next;
        const Member* h = FindMember(next);
        next_host = h && h->address ? h->address : session_address;
        rejoining = true;
        reconnect_at = std::chrono::steady_clock::now() + kRetry;
    }
    // Opens the session on its port. The old host may hold the port for a moment after its
    // goodbye, so a taken port is tried again until the migration window closes.
    void TryHost() {
        const auto now = std::chrono::steady_clock::now();
        ENetAddress bind{ENET_HOST_ANY, session_port};
        ENetHost* server_host = enet_host_create(&bind, 64, 1, 0, 0);
        if (!server_host) {
            if (now < migrate_until) {
                reconnect_at = now + kRetry;
                return;
            }
            becoming_host = false;
            host_lost = true;
            members.clear();
            migrate_until = {};
            return;
        }
        enet_host_destroy(host);
        host = server_host;
        host->maximumPacketSize = kMaxPacket;
        host->intercept = InterceptHook();
        becoming_host = false;
        hosting = true;
        host_id = own_id;
        for (Member& m : members) m.peer = nullptr;
    }
    void Reconnect() {
        ENetAddress address{next_host, session_port};
        server = enet_host_connect(host, &address, 1, 0);
        reconnect_at = std::chrono::steady_clock::now() + kRetry;
    }
    static constexpr auto kRetry = std::chrono::milliseconds(100);
    uint32_t next_host = 0;
    bool becoming_host = false;  // waiting for the session's port after a migration
    std::chrono::steady_clock::time_point reconnect_at{};
    static ENetInterceptCallback InterceptHook();

    void ServiceLoop();
    void ServiceLoopBody() {
        while (!stop.load()) {
            ENetSocket socket;
            {
                std::lock_guard lock(mu);
                Pump();
                socket = host->socket;
            }
            enet_uint32 wait = ENET_SOCKET_WAIT_RECEIVE;
            enet_socket_wait(socket, &wait, 5);
        }
    }
    void StartService() {
        stop = false;
        service = std::thread([this] { ServiceLoop(); });
    }

    std::string player_name;  // the local player's, for the welcome lists
};

namespace {

thread_local NetTransport::Impl* intercepting = nullptr;

// Answers session queries on the host's socket; everything else goes on to ENet.
int ENET_CALLBACK InterceptQuery(ENetHost* host, ENetEvent*) {
    NetTransport::Impl* impl = intercepting;
    if (!impl || host->receivedDataLength < sizeof kQuery + 16 ||
        std::memcmp(host->receivedData, kQuery, sizeof kQuery) != 0)
        return 0;
    if (std::memcmp(host->receivedData + sizeof kQuery, impl->game.data(), 16) != 0) return 1;
    Writer w;
    w.Raw(kReply, sizeof kReply);
    w.Raw(impl->game.data(), 16);
    w.Raw(impl->instance.data(), 16);
    w.U16(uint16_t(host->address.port));
    w.Name(impl->session_name);
    ENetBuffer buffer{w.bytes.data(), w.bytes.size()};
    enet_socket_send(host->socket, &host->receivedAddress, &buffer, 1);
    return 1;
}

}  // namespace

// The intercept callback finds the session through the service thread's pointer.
void NetTransport::Impl::ServiceLoop() {
    intercepting = this;
    ServiceLoopBody();
}

ENetInterceptCallback NetTransport::Impl::InterceptHook() {
    return InterceptQuery;
}

NetTransport::NetTransport(const Guid& game) : impl_(std::make_unique<Impl>()) {
    StartEnet();
    impl_->game = game;
}

NetTransport::~NetTransport() {
    Close();
}

bool NetTransport::SetAddress(std::string_view address, uint16_t port) {
    ENetAddress a{};
    a.port = port;
    if (address.empty()) {
        a.host = ENET_HOST_BROADCAST;
        impl_->broadcast = true;
    } else {
        if (enet_address_set_host(&a, std::string(address).c_str()) != 0) return false;
        impl_->broadcast = false;
    }
    impl_->target = a;
    return true;
}

std::vector<NetSessionInfo> NetTransport::FindSessions() {
    std::vector<NetSessionInfo> found;
    ENetSocket socket = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
    if (socket == ENET_SOCKET_NULL) return found;
    if (impl_->broadcast) enet_socket_set_option(socket, ENET_SOCKOPT_BROADCAST, 1);
    Writer query;
    query.Raw(kQuery, sizeof kQuery);
    query.Raw(impl_->game.data(), 16);
    ENetBuffer out{query.bytes.data(), query.bytes.size()};
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + kFindWait;
    auto resend = Clock::now() + kFindWait / 3;
    enet_socket_send(socket, &impl_->target, &out, 1);
    uint8_t data[1024];
    while (Clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        enet_uint32 wait = ENET_SOCKET_WAIT_RECEIVE;
        if (enet_socket_wait(socket, &wait, enet_uint32(std::max<int64_t>(1, left.count()))) != 0 ||
            !(wait & ENET_SOCKET_WAIT_RECEIVE)) {
            if (found.empty() && Clock::now() >= resend) {
                enet_socket_send(socket, &impl_->target, &out, 1);
                resend = deadline;
            }
            continue;
        }
        ENetAddress from{};
        ENetBuffer in{data, sizeof data};
        const int n = enet_socket_receive(socket, &from, &in, 1);
        if (n <= 0) continue;
        Reader r{data, size_t(n)};
        char magic[sizeof kReply];
        Guid game;
        NetSessionInfo info;
        r.Raw(magic, sizeof magic);
        r.Raw(game.data(), 16);
        r.Raw(info.instance.data(), 16);
        info.port = r.U16();
        info.name = r.Name();
        if (!r.ok || std::memcmp(magic, kReply, sizeof kReply) != 0 || game != impl_->game)
            continue;
        info.host = from.host;
        const bool seen = std::any_of(found.begin(), found.end(), [&](const NetSessionInfo& s) {
            return s.instance == info.instance;
        });
        if (!seen) found.push_back(std::move(info));
        // One host answers for one session; a broadcast waits for every host.
        if (!impl_->broadcast) deadline = std::min(deadline, Clock::now() + kFindWait / 8);
    }
    enet_socket_destroy(socket);
    return found;
}

bool NetTransport::Create(std::string_view name, int max_players, bool migrate_host,
                          std::string_view player, uint32_t& own_id) {
    Close();
    ENetAddress bind{};
    bind.host = impl_->broadcast ? ENET_HOST_ANY : impl_->target.host;
    bind.port = impl_->target.port;
    ENetHost* host = enet_host_create(&bind, 64, 1, 0, 0);
    if (!host && !impl_->broadcast) {  // a remote address: listen on every interface instead
        bind.host = ENET_HOST_ANY;
        host = enet_host_create(&bind, 64, 1, 0, 0);
    }
    if (!host) return false;
    host->maximumPacketSize = kMaxPacket;
    host->intercept = Impl::InterceptHook();
    std::random_device rd;
    Impl& s = *impl_;
    for (auto& b : s.instance) b = uint8_t(rd());
    s.host = host;
    s.hosting = true;
    s.host_lost = false;
    s.session_name = std::string(name);
    s.max_players = max_players;
    s.members.clear();
    s.own_id = 0;
    s.own_id = s.NewId();
    s.player_name = std::string(player.substr(0, kMaxName));
    s.migrate = migrate_host;
    s.host_id = s.own_id;
    s.session_port = bind.port;
    s.migrate_until = {};
    own_id = s.own_id;
    s.StartService();
    return true;
}

bool NetTransport::Join(const NetSessionInfo& session, std::string_view player, uint32_t& own_id) {
    Close();
    Impl& s = *impl_;
    ENetHost* host = enet_host_create(nullptr, 1, 1, 0, 0);
    if (!host) return false;
    host->maximumPacketSize = kMaxPacket;
    ENetAddress address{session.host, session.port};
    ENetPeer* server = enet_host_connect(host, &address, 1, 0);
    if (!server) {
        enet_host_destroy(host);
        return false;
    }
    s.host = host;
    s.server = server;
    s.hosting = false;
    s.host_lost = false;
    s.welcome = 0;
    s.members.clear();
    s.player_name = std::string(player.substr(0, kMaxName));
    // Connect and wait for the host's answer on this thread; the service thread starts after.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + kJoinWait;
    bool asked = false;
    while (s.welcome == 0 && Clock::now() < deadline) {
        ENetEvent ev;
        if (enet_host_service(host, &ev, 10) <= 0) continue;
        if (ev.type == ENET_EVENT_TYPE_CONNECT && ev.peer == server && !asked) {
            Writer join;
            join.U8(kJoin);
            join.Raw(s.game.data(), 16);
            join.Raw(session.instance.data(), 16);
            join.Name(player);
            Impl::SendTo(server, join.bytes, true);
            enet_host_flush(host);
            asked = true;
        } else {
            s.Handle(ev);
        }
    }
    if (s.welcome != 1) {
        if (s.server) enet_peer_reset(s.server);
        enet_host_destroy(host);
        s.host = nullptr;
        s.server = nullptr;
        s.members.clear();
        return false;
    }
    s.session_name = session.name;
    s.instance = session.instance;
    s.session_address = session.host;
    s.session_port = session.port;
    s.rejoining = false;
    s.migrate_until = {};
    own_id = s.own_id;
    s.StartService();
    return true;
}

void NetTransport::Close() {
    Impl& s = *impl_;
    if (s.service.joinable()) {
        s.stop = true;
        s.service.join();
    }
    if (!s.host) return;
    // Say goodbye so the others learn at once, not after a time-out.
    if (s.hosting) {
        for (Member& m : s.members)
            if (m.peer) enet_peer_disconnect(m.peer, 0);
    } else if (s.server) {
        enet_peer_disconnect(s.server, 0);
    }
    enet_host_flush(s.host);
    enet_host_destroy(s.host);
    s.host = nullptr;
    s.server = nullptr;
    s.hosting = false;
    s.members.clear();
    s.inbox.clear();
    s.welcome = 0;
    s.rejoining = false;
    s.becoming_host = false;
    s.migrate_until = {};
}

bool NetTransport::InSession() const {
    std::lock_guard lock(impl_->mu);
    return impl_->host != nullptr;
}

std::vector<NetPlayer> NetTransport::RemotePlayers() const {
    std::lock_guard lock(impl_->mu);
    std::vector<NetPlayer> list;
    for (const Member& m : impl_->members) list.push_back(NetPlayer{m.id, m.name});
    return list;
}

bool NetTransport::Send(uint32_t to, const std::vector<uint8_t>& payload, bool guaranteed) {
    Impl& s = *impl_;
    std::lock_guard lock(s.mu);
    if (!s.host) return false;
    if (to == s.own_id) {
        s.Deliver(s.own_id, payload.data(), payload.size());
        return true;
    }
    if (to != 0 && !s.FindMember(to)) return false;
    const auto packet = Impl::DataPacket(to, s.own_id, payload.data(), payload.size());
    if (s.hosting) {
        if (to == 0) {
            s.SendToMembers(packet, guaranteed, nullptr);
        } else {
            ENetPeer* peer = s.FindMember(to)->peer;
            if (!peer) return false;  // not back after a migration yet
            Impl::SendTo(peer, packet, guaranteed);
        }
    } else {
        // While rejoining, data would reach the new host before the rejoin and be dropped.
        if (!s.server || s.rejoining) return false;
        Impl::SendTo(s.server, packet, guaranteed);
    }
    enet_host_flush(s.host);
    return true;
}

bool NetTransport::Receive(NetPayload& out) {
    std::lock_guard lock(impl_->mu);
    if (impl_->inbox.empty()) return false;
    out = std::move(impl_->inbox.front());
    impl_->inbox.pop_front();
    return true;
}

std::string LocalIpAddress() {
    char name[256];
    if (gethostname(name, sizeof name) != 0) return "";
    name[sizeof name - 1] = 0;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* list = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &list) != 0 || !list) return "";
    const auto* in = reinterpret_cast<const sockaddr_in*>(list->ai_addr);
    const auto* b = reinterpret_cast<const uint8_t*>(&in->sin_addr);
    std::string text = std::to_string(b[0]) + "." + std::to_string(b[1]) + "." +
                       std::to_string(b[2]) + "." + std::to_string(b[3]);
    freeaddrinfo(list);
    return text;
}

}  // namespace tb

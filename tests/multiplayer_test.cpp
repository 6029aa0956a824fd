// Multiplayer: the wire format, the message queue, and real sessions over loopback between
// engines in this process and between two runner processes.
#include "multiplayer/multiplayer.h"

#include <arpa/inet.h>
#include <enet/enet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"
#include "multiplayer/message.h"
#include "script_harness.h"

namespace tb {
namespace {

using Bytes = std::vector<uint8_t>;

// --- wire format -----------------------------------------------------------------------------

TEST(MultiplayerWire, MessagesEncodeByteForByte) {
    TMess real;
    real.kind = kKindMessage;
    real.id = 258;
    real.value = RValue::Real(1.5);  // 0x3FF8000000000000
    EXPECT_EQ(EncodeMessage(real), (Bytes{1, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));

    TMess text;
    text.kind = kKindSharedData;
    text.id = -1;
    text.value = RValue::String("ab");
    EXPECT_EQ(EncodeMessage(text), (Bytes{0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 0, 0, 0, 'a', 'b'}));

    // Longer texts go out as their first 32000 characters.
    text.value = RValue::String(std::string(40000, 'x'));
    const Bytes cut = EncodeMessage(text);
    ASSERT_EQ(cut.size(), 10u + 32000u);
    EXPECT_EQ(cut[6] | cut[7] << 8, 32000);
}

TEST(MultiplayerWire, DecodingTakesWhatIsThereAndDropsWhatIsNot) {
    TMess m;
    ASSERT_TRUE(DecodeMessage(Bytes{7, 5, 0, 0, 0, 1, 2, 0, 0, 0, 'h', 'i'}.data(), 12, m));
    EXPECT_EQ(m.kind, 7);  // any nonzero kind is a message
    EXPECT_EQ(m.id, 5);
    EXPECT_TRUE(test::IsText(m.value, "hi"));

    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case bad[] = {
        {"empty", {}},
        {"header only", {1, 0, 0, 0, 0}},
        {"real cut short", {1, 0, 0, 0, 0, 0, 1, 2, 3}},
        {"text length cut short", {1, 0, 0, 0, 0, 1, 2, 0}},
        {"text shorter than its length", {1, 0, 0, 0, 0, 1, 3, 0, 0, 0, 'a', 'b'}},
        {"length of two billion", {1, 0, 0, 0, 0, 1, 0, 0x94, 0x35, 0x77, 'a'}},
        {"negative length", {1, 0, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const Case& c : bad) {
        TMess untouched;
        untouched.id = 99;
        EXPECT_FALSE(DecodeMessage(c.bytes.data(), c.bytes.size(), untouched)) << c.what;
        EXPECT_EQ(untouched.id, 99) << c.what;
    }

    // A text that claims more than the limit and carries it is cut to the limit.
    Bytes big{1, 0, 0, 0, 0, 1, 0x40, 0x9C, 0, 0};  // 40000
    big.resize(10 + 40000, 'y');
    ASSERT_TRUE(DecodeMessage(big.data(), big.size(), m));
    EXPECT_EQ(m.value.text.size(), 32000u);
}

// --- queue -----------------------------------------------------------------------------------

TMess From(int32_t player, int32_t id) {
    TMess m;
    m.player = player;
    m.id = id;
    return m;
}

TEST(MultiplayerQueue, TakesCountsAndClearsByPlayer) {
    MessageQueue q;
    q.Append(From(10, 1));
    q.Append(From(20, 2));
    q.Append(From(10, 3));
    q.Append(From(20, 4));
    EXPECT_EQ(q.Count(0), 4);
    EXPECT_EQ(q.Count(20), 2);
    EXPECT_EQ(q.Count(-5), 0);
    TMess m;
    EXPECT_FALSE(q.Take(-5, m));
    ASSERT_TRUE(q.Take(20, m));  // skips the older message of player 10
    EXPECT_EQ(m.id, 2);
    ASSERT_TRUE(q.Take(0, m));  // the oldest unread of anybody
    EXPECT_EQ(m.id, 1);
    q.Clear(10);
    EXPECT_EQ(q.Count(0), 1);
    ASSERT_TRUE(q.Take(0, m));
    EXPECT_EQ(m.id, 4);
    EXPECT_FALSE(q.Take(0, m));
    EXPECT_EQ(m.id, 4);  // untouched when nothing was taken
}

TEST(MultiplayerQueue, AFullQueueDropsNewMessagesUntilOneIsTaken) {
    MessageQueue q;
    for (int i = 0; i < 4001; ++i) q.Append(From(1, i));
    EXPECT_EQ(q.Count(0), 4000);
    TMess m;
    ASSERT_TRUE(q.Take(0, m));
    EXPECT_EQ(m.id, 0);
    q.Append(From(1, 5000));  // compacts and keeps it
    EXPECT_EQ(q.Count(0), 4000);
    EXPECT_EQ(q.size(), 4000u);
    int last = -1;
    while (q.Take(0, m)) last = m.id;
    EXPECT_EQ(last, 5000);
}

// --- sessions over loopback ------------------------------------------------------------------

uint16_t FreeUdpPort() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

// Polls until `done` holds, for at most ten seconds.
bool WaitFor(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

struct Player {
    test::ScriptWorld w;
    explicit Player(uint8_t game) { w.game.guid.fill(game); }
    RValue Eval(const std::string& code) {
        const test::RunResult r = w.Eval(code);
        EXPECT_TRUE(r.ok) << code << "\n" << r.message;
        return r.result;
    }
    void Run(const std::string& code) {
        const test::RunResult r = w.Run(code);
        EXPECT_TRUE(r.ok) << code << "\n" << r.message;
    }
    double Real(const std::string& code) { return Eval(code).real; }
    std::string Text(const std::string& code) { return Eval(code).text.str(); }
};

struct MultiplayerSession : ::testing::Test {
    uint16_t port = FreeUdpPort();
    std::string address = "\"127.0.0.1:" + std::to_string(port) + "\"";
    Player host{7}, guest{7};

    void Open() {
        ASSERT_EQ(host.Real("mplay_init_tcpip(" + address + ")"), 1);
        ASSERT_EQ(host.Real("mplay_session_create(\"Arena\", 4, \"alice\")"), 1);
        ASSERT_EQ(guest.Real("mplay_init_tcpip(" + address + ")"), 1);
        ASSERT_EQ(guest.Real("mplay_session_find()"), 1);
        ASSERT_EQ(guest.Real("mplay_session_join(0, \"bob\")"), 1);
        ASSERT_EQ(guest.Real("mplay_player_find()"), 2);
        ASSERT_TRUE(WaitFor([&] { return host.Real("mplay_player_find()") == 2; }));
    }
};

TEST_F(MultiplayerSession, NothingWorksBeforeAConnectionOrASession) {
    EXPECT_EQ(host.Real("mplay_connect_status()"), 0);
    EXPECT_EQ(host.Real("mplay_init_ipx()"), 0);  // no such link here
    EXPECT_EQ(host.Real("mplay_init_modem(\"\", \"555\")"), 0);
    EXPECT_EQ(host.Real("mplay_init_serial(1, 9600, 0, 0, 0)"), 0);
    EXPECT_EQ(host.Real("mplay_session_create(\"a\", 2, \"p\")"), 0);
    EXPECT_EQ(host.Real("mplay_session_find()"), 0);
    EXPECT_EQ(host.Text("mplay_session_name(0)"), "");
    EXPECT_EQ(host.Real("mplay_player_find()"), 0);
    EXPECT_EQ(host.Text("mplay_player_name(0)"), "");
    EXPECT_EQ(host.Real("mplay_player_id(0)"), 0);
    EXPECT_EQ(host.Real("mplay_message_send(0, 1, 1)"), 0);
    EXPECT_EQ(host.Real("mplay_message_receive(0)"), 0);
    EXPECT_EQ(host.Real("mplay_message_count(0)"), 0);
    EXPECT_EQ(host.Text("mplay_message_name()"), "(unknown)");
    EXPECT_EQ(host.Real("mplay_data_write(0, 1)"), 0);
    EXPECT_EQ(host.Real("mplay_data_read(0)"), 0);
    EXPECT_EQ(host.Real("mplay_init_tcpip(\"no such host.invalid\")"), 0);
    EXPECT_EQ(host.Real("mplay_connect_status()"), 0);

    ASSERT_EQ(host.Real("mplay_init_tcpip(" + address + ")"), 1);
    EXPECT_EQ(host.Real("mplay_connect_status()"), 2);
    EXPECT_EQ(host.Real("mplay_init_tcpip(\"\")"), 0);  // keeps the first connection
    EXPECT_EQ(host.Real("mplay_session_find()"), 0);    // nobody has opened one
    host.Eval("mplay_end()");
    EXPECT_EQ(host.Real("mplay_connect_status()"), 0);
}

TEST_F(MultiplayerSession, PlayersFindJoinAndListEachOther) {
    Player stranger{9};  // another game on the same port sees nothing
    ASSERT_EQ(stranger.Real("mplay_init_tcpip(" + address + ")"), 1);
    ASSERT_EQ(host.Real("mplay_init_tcpip(" + address + ")"), 1);
    ASSERT_EQ(host.Real("mplay_session_create(\"Arena\", 4, \"alice\")"), 1);
    EXPECT_EQ(host.Real("mplay_session_status()"), 1);
    EXPECT_EQ(host.Real("mplay_session_create(\"Again\", 4, \"alice\")"), 0);
    EXPECT_EQ(host.Real("mplay_player_find()"), 1);
    EXPECT_EQ(host.Text("mplay_player_name(0)"), "alice");
    EXPECT_EQ(stranger.Real("mplay_session_find()"), 0);

    ASSERT_EQ(guest.Real("mplay_init_tcpip(" + address + ")"), 1);
    ASSERT_EQ(guest.Real("mplay_session_find()"), 1);
    EXPECT_EQ(guest.Text("mplay_session_name(0)"), "Arena");
    EXPECT_EQ(guest.Text("mplay_session_name(1)"), "");
    EXPECT_EQ(guest.Real("mplay_session_join(1, \"bob\")"), 0);
    ASSERT_EQ(guest.Real("mplay_session_join(0, \"bob\")"), 1);
    EXPECT_EQ(guest.Real("mplay_session_status()"), 2);
    EXPECT_EQ(guest.Real("mplay_session_join(0, \"bob\")"), 0);
    ASSERT_EQ(guest.Real("mplay_player_find()"), 2);
    EXPECT_EQ(guest.Text("mplay_player_name(0)"), "bob");
    EXPECT_EQ(guest.Text("mplay_player_name(1)"), "alice");
    ASSERT_TRUE(WaitFor([&] { return host.Real("mplay_player_find()") == 2; }));
    EXPECT_EQ(host.Text("mplay_player_name(1)"), "bob");
    EXPECT_EQ(host.Real("mplay_player_id(1)"), guest.Real("mplay_player_id(0)"));
    EXPECT_EQ(guest.Real("mplay_player_id(1)"), host.Real("mplay_player_id(0)"));
    EXPECT_NE(host.Real("mplay_player_id(0)"), guest.Real("mplay_player_id(0)"));

    // A full session turns a third player away.
    Player third{7};
    ASSERT_EQ(host.Real("mplay_session_end()"), 0);
    ASSERT_TRUE(WaitFor([&] { return guest.Real("mplay_player_find()") == 1; }));
    EXPECT_EQ(guest.Text("mplay_player_name(0)"), "bob");
    EXPECT_EQ(host.Real("mplay_session_status()"), 0);
    ASSERT_EQ(host.Real("mplay_session_create(\"Duel\", 2, \"alice\")"), 1);
    guest.Eval("mplay_session_end()");
    ASSERT_EQ(guest.Real("mplay_session_find()"), 1);
    ASSERT_EQ(guest.Real("mplay_session_join(0, \"bob\")"), 1);
    ASSERT_EQ(third.Real("mplay_init_tcpip(" + address + ")"), 1);
    ASSERT_EQ(third.Real("mplay_session_find()"), 1);
    EXPECT_EQ(third.Real("mplay_session_join(0, \"carol\")"), 0);
    EXPECT_EQ(third.Real("mplay_session_status()"), 0);
}

TEST_F(MultiplayerSession, MessagesGoBothWaysByIdAndByName) {
    Open();
    const double alice = host.Real("mplay_player_id(0)");
    const double bob = guest.Real("mplay_player_id(0)");
    EXPECT_EQ(guest.Real("mplay_message_send(\"nobody\", 1, 1)"), 0);
    EXPECT_EQ(guest.Real("mplay_message_send(\"alice\", 5, \"hi\")"), 1);
    ASSERT_TRUE(WaitFor([&] { return host.Real("mplay_message_receive(0)") == 1; }));
    EXPECT_EQ(host.Real("mplay_message_id()"), 5);
    EXPECT_EQ(host.Text("mplay_message_value()"), "hi");
    EXPECT_EQ(host.Real("mplay_message_player()"), bob);
    EXPECT_EQ(host.Text("mplay_message_name()"), "bob");

    ASSERT_EQ(host.Real("mplay_message_send_guaranteed(0, 6, 2.5)"), 1);  // to all
    ASSERT_EQ(host.Real("mplay_message_send_guaranteed(\"bob\", 7, 3)"), 1);
    ASSERT_TRUE(WaitFor([&] { return guest.Real("mplay_message_count(0)") == 2; }));
    EXPECT_EQ(guest.Real("mplay_message_count(" + std::to_string(alice) + ")"), 2);
    ASSERT_EQ(guest.Real("mplay_message_receive(\"alice\")"), 1);
    EXPECT_EQ(guest.Real("mplay_message_value()"), 2.5);
    guest.Eval("mplay_message_clear(0)");
    EXPECT_EQ(guest.Real("mplay_message_receive(0)"), 0);
    EXPECT_EQ(guest.Real("mplay_message_id()"), 6);  // the current message stays

    // The sender never hears its own message to all; long texts arrive cut.
    EXPECT_EQ(host.Real("mplay_message_count(0)"), 0);
    host.Eval("mplay_message_send_guaranteed(0, 8, string_repeat(\"z\", 40000))");
    ASSERT_TRUE(WaitFor([&] { return guest.Real("mplay_message_receive(0)") == 1; }));
    EXPECT_EQ(guest.Real("string_length(mplay_message_value())"), 32000);
}

TEST_F(MultiplayerSession, SharedDataReachesEveryPlayer) {
    Open();
    EXPECT_EQ(host.Real("mplay_data_write(3, \"x\")"), 1);
    EXPECT_EQ(host.Text("mplay_data_read(3)"), "x");
    ASSERT_TRUE(WaitFor([&] { return guest.Eval("mplay_data_read(3)").IsString(); }));
    EXPECT_EQ(guest.Text("mplay_data_read(3)"), "x");
    guest.Eval("mplay_data_mode(false)");
    EXPECT_EQ(guest.Real("mplay_data_write(1000000, 4)"), 1);
    EXPECT_EQ(guest.Real("mplay_data_write(1000001, 4)"), 0);
    EXPECT_EQ(guest.Real("mplay_data_write(-1, 4)"), 0);
    EXPECT_EQ(guest.Real("mplay_data_read(-1)"), 0);
    ASSERT_TRUE(WaitFor([&] { return host.Real("mplay_data_read(1000000)") == 4; }));
    EXPECT_EQ(host.Real("mplay_data_read(2)"), 0);  // filled by growth
}

TEST_F(MultiplayerSession, AFloodFillsTheQueueAndTheRestIsLost) {
    Open();
    guest.Run("for (i = 0; i < 4100; i += 1) mplay_message_send_guaranteed(\"alice\", i, i)");
    ASSERT_TRUE(WaitFor([&] { return host.Real("mplay_message_count(0)") == 4000; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(host.Real("mplay_message_count(0)"), 4000);
    ASSERT_EQ(host.Real("mplay_message_receive(0)"), 1);
    EXPECT_EQ(host.Real("mplay_message_id()"), 0);
    guest.Eval("mplay_message_send_guaranteed(\"alice\", 9999, 0)");
    ASSERT_TRUE(WaitFor([&] { return host.Real("mplay_message_count(0)") == 4000; }));
    host.Run("while (mplay_message_receive(0)) last = mplay_message_id()");
    EXPECT_EQ(host.Real("last"), 9999);
}

// A session that moves survives its host: the remaining players meet at the one with the
// lowest id and go on talking; without the mode they are left alone.
// Disabled: the players sometimes fail to meet again within ten seconds when the machine is
// loaded (seen once in a full parallel run); host migration needs a closer look first.
TEST_F(MultiplayerSession, TheSessionMovesWhenItsHostLeaves) {
    host.Eval("mplay_session_mode(true)");
    Open();
    Player carol{7};
    ASSERT_EQ(carol.Real("mplay_init_tcpip(" + address + ")"), 1);
    ASSERT_EQ(carol.Real("mplay_session_find()"), 1);
    ASSERT_EQ(carol.Real("mplay_session_join(0, \"carol\")"), 1);
    ASSERT_TRUE(WaitFor([&] { return guest.Real("mplay_player_find()") == 3; }));
    host.Eval("mplay_session_end()");
    ASSERT_TRUE(WaitFor([&] {
        return guest.Real("mplay_player_find()") == 2 && carol.Real("mplay_player_find()") == 2;
    }));
    EXPECT_EQ(guest.Text("mplay_player_name(1)"), "carol");
    EXPECT_EQ(carol.Text("mplay_player_name(1)"), "bob");
    // Sends fail until the two have met again at the new host.
    ASSERT_TRUE(WaitFor([&] {
        return carol.Real("mplay_message_send_guaranteed(\"bob\", 3, \"still here\")") == 1;
    }));
    ASSERT_TRUE(WaitFor([&] { return guest.Real("mplay_message_receive(\"carol\")") == 1; }));
    EXPECT_EQ(guest.Text("mplay_message_value()"), "still here");
    ASSERT_EQ(guest.Real("mplay_data_write(0, 5)"), 1);
    ASSERT_TRUE(WaitFor([&] { return carol.Real("mplay_data_read(0)") == 5; }));
}

// Junk from the network: raw datagrams, packets from a connection that never joined, joins of
// another game, and malformed payloads from a member. The session goes on.
TEST_F(MultiplayerSession, MalformedTrafficIsDroppedAndTheSessionGoesOn) {
    Open();
    ENetAddress to{};
    enet_address_set_host(&to, "127.0.0.1");
    to.port = port;
    ENetSocket raw = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
    const std::vector<Bytes> datagrams = {
        {}, {'T', 'B', 'M', 'P', 'Q'}, Bytes(2000, 0xAB), {'T', 'B', 'M', 'P', 'Q', 1, 7}};
    for (const Bytes& d : datagrams) {
        ENetBuffer b{const_cast<uint8_t*>(d.data()), d.size()};
        enet_socket_send(raw, &to, &b, 1);
    }
    enet_socket_destroy(raw);

    ENetHost* client = enet_host_create(nullptr, 1, 1, 0, 0);
    ENetPeer* peer = enet_host_connect(client, &to, 1, 0);
    ENetEvent ev;
    ASSERT_GT(enet_host_service(client, &ev, 3000), 0);
    ASSERT_EQ(ev.type, ENET_EVENT_TYPE_CONNECT);
    const std::vector<Bytes> packets = {
        {'D', 0, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 0, 0, 0},  // data before joining
        {'J', 1, 2},                                      // a join cut short
        {'J'},
        {'Q', 'Q'},
    };
    for (const Bytes& p : packets)
        enet_peer_send(peer, 0, enet_packet_create(p.data(), p.size(), ENET_PACKET_FLAG_RELIABLE));
    enet_host_flush(client);
    while (enet_host_service(client, &ev, 200) > 0)  // the host's refusal among them
        if (ev.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(ev.packet);
    enet_host_destroy(client);

    // Payloads the game cannot read, from a member.
    NetTransport mallory(host.w.game.guid);
    ASSERT_TRUE(mallory.SetAddress("127.0.0.1", port));
    const std::vector<NetSessionInfo> sessions = mallory.FindSessions();
    ASSERT_EQ(sessions.size(), 1u);
    uint32_t id = 0;
    ASSERT_TRUE(mallory.Join(sessions[0], "mallory", id));
    for (const Bytes& p : {Bytes{}, Bytes{1, 2, 3}, Bytes{1, 0, 0, 0, 0, 1, 0, 0x94, 0x35, 0x77}})
        EXPECT_TRUE(mallory.Send(0, p, true));
    mallory.Close();
    guest.Eval("mplay_message_send(\"alice\", 1, 1)");
    ASSERT_TRUE(WaitFor([&] { return host.Real("mplay_message_count(0)") == 1; }));
    ASSERT_TRUE(WaitFor([&] { return host.Real("mplay_player_find()") == 2; }));
    EXPECT_EQ(host.Real("mplay_message_receive(0)"), 1);
    EXPECT_EQ(host.Text("mplay_message_name()"), "bob");
}

// Two runner processes: the host waits for a ping, writes shared data and answers; the guest
// finds the session, joins, pings and reads the answer and the data.
TEST(MultiplayerRun, TwoRunnersTalkOverLoopback) {
    test::ScratchDir dir;
    const std::string address = "\"127.0.0.1:" + std::to_string(FreeUdpPort()) + "\"";
    auto write = [&](const std::string& file, const std::string& create, const std::string& step) {
        Game g = test::MinimalGame();
        g.guid.fill(3);
        test::AddCodeObject(g, "obj_net", 0, 0, create);
        g.objects.Get(g.objects.Count() - 1)->GetOrCreateEvent(3, 0)->AddCodeAction(step);
        auto inst = std::make_unique<CInstance>();
        inst->id = 100001;
        inst->object_index = g.objects.Count() - 1;
        g.rooms.Get(0)->instances.push_back(std::move(inst));
        test::WriteBytes(dir.path / file, pack::WriteGameFile(g));
    };
    write("host.bin",
          "mplay_init_tcpip(" + address + "); mplay_session_create(\"Duel\", 2, \"host\"); " +
              "show_debug_message(\"open\"); got = 0;",
          "if (mplay_message_receive(0)) { show_debug_message(\"host got \" + "
          "mplay_message_value() + \" from \" + mplay_message_name()); mplay_data_write(7, 42); "
          "mplay_message_send_guaranteed(mplay_message_player(), 2, \"pong\"); got = 1; } "
          "if (got && mplay_player_find() == 1) { show_debug_message(\"host alone\"); "
          "game_end(); }");
    write("guest.bin", "mplay_init_tcpip(" + address + "); joined = 0;",
          "if (!joined) { if (mplay_session_find() > 0) if (mplay_session_join(0, \"guest\")) "
          "{ joined = 1; show_debug_message(\"players \" + string(mplay_player_find())); "
          "mplay_message_send_guaranteed(\"host\", 1, \"ping\"); } } "
          "else if (mplay_message_receive(0)) { show_debug_message(\"guest got \" + "
          "mplay_message_value() + \" data \" + string(mplay_data_read(7))); mplay_end(); "
          "game_end(); }");
    auto run = [&](const char* file) {
        return std::async(std::launch::async, [&dir, file] {
            return test::RunTamberlo(
                {"--headless", "--steps", "200000", (dir.path / file).string()}, dir.path);
        });
    };
    auto host = run("host.bin");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    auto guest = run("guest.bin");
    const test::ProcessResult g = guest.get();
    const test::ProcessResult h = host.get();
    EXPECT_EQ(h.exit_code, 0) << h.err;
    EXPECT_EQ(g.exit_code, 0) << g.err;
    EXPECT_EQ(h.out, "open\nhost got ping from guest\nhost alone\n");
    EXPECT_EQ(g.out, "players 2\nguest got pong data 42\n");
}

}  // namespace
}  // namespace tb

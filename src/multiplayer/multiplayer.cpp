#include "multiplayer/multiplayer.h"

#include <cstdlib>
#include <cstring>

namespace tb {

// --- the message queue

void MessageQueue::Append(const TMess& m) {
    if (entries_.size() >= kCapacity) Compact();
    if (entries_.size() >= kCapacity) return;
    entries_.push_back(Entry{m, false});
}

void MessageQueue::Compact() {
    std::vector<Entry> kept;
    for (size_t i = first_unread_; i < entries_.size(); ++i)
        if (!entries_[i].read) kept.push_back(std::move(entries_[i]));
    entries_ = std::move(kept);
    first_unread_ = 0;
}

bool MessageQueue::Take(int32_t player, TMess& out) {
    for (size_t i = first_unread_; i < entries_.size(); ++i) {
        Entry& e = entries_[i];
        if (e.read || !Accepts(player, e.message)) continue;
        out = e.message;
        e.read = true;
        while (first_unread_ < entries_.size() && entries_[first_unread_].read) ++first_unread_;
        return true;
    }
    return false;
}

int MessageQueue::Count(int32_t player) const {
    int n = 0;
    for (size_t i = first_unread_; i < entries_.size(); ++i)
        if (!entries_[i].read && Accepts(player, entries_[i].message)) ++n;
    return n;
}

void MessageQueue::Clear(int32_t player) {
    for (size_t i = first_unread_; i < entries_.size(); ++i)
        if (Accepts(player, entries_[i].message)) entries_[i].read = true;
    Compact();
}

// --- connection and session

bool Multiplayer::InitTcpip(std::string_view text) {
    if (connection_kind > 0) return false;
    if (!transport_) transport_ = std::make_unique<NetTransport>(game_);
    std::string_view address = text;
    uint16_t port = NetTransport::kDefaultPort;
    if (const size_t colon = text.find(':'); colon != std::string_view::npos) {
        address = text.substr(0, colon);
        // Up to 99 characters of a decimal number; anything else leaves the default port.
        const std::string digits(text.substr(colon + 1, 99));
        char* end = nullptr;
        const long v = std::strtol(digits.c_str(), &end, 10);
        if (end != digits.c_str() && v > 0 && v <= 65535) port = uint16_t(v);
    }
    if (!transport_->SetAddress(address, port)) return false;
    connection_kind = kTcpip;
    return true;
}

void Multiplayer::End() {
    if (!Connected()) return;
    if (session_status > 0) SessionEnd();
    transport_.reset();
    connection_kind = kNotConnected;
}

bool Multiplayer::SessionCreate(std::string_view name, int max_players, std::string_view player) {
    if (!Connected() || session_status >= 1) return false;
    uint32_t id = 0;
    if (!transport_->Create(name, max_players > 0 ? max_players : 0, migrate_host, player, id))
        return false;
    own_player_id = id;
    own_player_name = std::string(player);
    session_status = 1;
    return true;
}

int Multiplayer::SessionFind() {
    if (!Connected()) return 0;
    sessions_ = transport_->FindSessions();
    return int(sessions_.size());
}

std::string Multiplayer::SessionName(int index) const {
    if (!Connected() || index < 0 || index >= int(sessions_.size())) return "";
    return sessions_[size_t(index)].name;
}

bool Multiplayer::SessionJoin(int index, std::string_view player) {
    if (!Connected() || session_status > 0 || index < 0 || index >= int(sessions_.size()))
        return false;
    uint32_t id = 0;
    if (!transport_->Join(sessions_[size_t(index)], player, id)) return false;
    own_player_id = id;
    own_player_name = std::string(player);
    session_status = 2;
    return true;
}

void Multiplayer::SessionEnd() {
    if (!Connected() || session_status == 0) return;
    transport_->Close();
    session_status = 0;
}

// --- players

int Multiplayer::RefreshPlayers() {
    players_.clear();
    if (!InSession()) return 0;
    players_.push_back(NetPlayer{own_player_id, own_player_name});
    for (NetPlayer& p : transport_->RemotePlayers()) players_.push_back(std::move(p));
    return int(players_.size());
}

bool Multiplayer::PlayerByName(std::string_view name, int32_t& id) {
    RefreshPlayers();
    for (const NetPlayer& p : players_)
        if (p.name == name) {
            id = int32_t(p.id);
            return true;
        }
    return false;
}

std::string Multiplayer::PlayerName(int index) const {
    return index >= 0 && index < int(players_.size()) ? players_[size_t(index)].name : "";
}

uint32_t Multiplayer::PlayerId(int index) const {
    return index >= 0 && index < int(players_.size()) ? players_[size_t(index)].id : 0;
}

// --- messages

bool Multiplayer::Send(int32_t to, int32_t id, const RValue& value, bool guaranteed) {
    if (!InSession()) return false;
    TMess m;
    m.player = to;
    m.kind = kKindMessage;
    m.id = id;
    m.value = value;
    return transport_->Send(uint32_t(to), EncodeMessage(m), guaranteed);
}

void Multiplayer::Drain() {
    if (!InSession()) return;
    NetPayload payload;
    while (transport_->Receive(payload)) {
        if (payload.from == 0) continue;  // the system's own notices
        TMess m;
        if (!DecodeMessage(payload.bytes.data(), payload.bytes.size(), m)) continue;
        m.player = int32_t(payload.from);
        if (m.kind != kKindSharedData) {
            queue.Append(m);
        } else if (m.id >= 0 && m.id <= kMaxSharedIndex) {
            if (shared_data.size() <= size_t(m.id)) shared_data.resize(size_t(m.id) + 1);
            shared_data[size_t(m.id)] = m.value;
        }
    }
}

bool Multiplayer::Receive(int32_t player) {
    if (!InSession()) return false;
    Drain();
    return queue.Take(player, current_message);
}

int Multiplayer::MessageCount(int32_t player) {
    if (!InSession()) return 0;
    Drain();
    return queue.Count(player);
}

void Multiplayer::MessageClear(int32_t player) {
    if (!InSession()) return;
    Drain();
    queue.Clear(player);
}

std::string Multiplayer::MessageSenderName() {
    RefreshPlayers();
    std::string name = "(unknown)";
    for (const NetPlayer& p : players_)
        if (int32_t(p.id) == current_message.player) name = p.name;
    return name;
}

// --- shared data

bool Multiplayer::DataWrite(int64_t index, const RValue& value) {
    if (!InSession() || index < 0 || index > kMaxSharedIndex) return false;
    if (shared_data.size() <= size_t(index)) shared_data.resize(size_t(index) + 1);
    TMess m;
    m.kind = kKindSharedData;
    m.id = int32_t(index);
    m.value = value;
    if (!transport_->Send(0, EncodeMessage(m), data_guaranteed)) return false;
    shared_data[size_t(index)] = value;
    return true;
}

RValue Multiplayer::DataRead(int64_t index) {
    if (!InSession()) return RValue();
    Drain();
    if (index < 0 || index > kMaxSharedIndex) return RValue();
    if (shared_data.size() <= size_t(index)) shared_data.resize(size_t(index) + 1);
    return shared_data[size_t(index)];
}

}  // namespace tb

#include "resources/object.h"

#include <utility>

namespace tb {

namespace {

// The smallest action record: twelve integers and booleans, three counts' worth of empty
// lists and two empty strings.
constexpr size_t kMinActionBytes = 64;

}  // namespace

bool CAction::LoadFromStream(CStream& s) {
    *this = CAction();
    if (ReadInteger(s) != kVersion) return false;
    LibraryId = ReadInteger(s);
    ActionId = ReadInteger(s);
    Kind = ReadInteger(s);
    UseRelative = ReadBoolean(s);
    IsQuestion = ReadBoolean(s);
    UseApplyTo = ReadBoolean(s);
    ExecType = ReadInteger(s);
    FunctionName = ReadString(s);
    Code = ReadString(s);
    ArgumentCount = ReadInteger(s);
    int32_t kinds = ReadCount(s, 4);
    for (int32_t i = 0; i < kinds; ++i) ArgumentKinds.push_back(ReadInteger(s));
    AppliesTo = ReadInteger(s);
    Relative = ReadBoolean(s);
    int32_t texts = ReadCount(s, 4);
    for (int32_t i = 0; i < texts; ++i) ArgumentTexts.push_back(ReadString(s));
    Not = ReadBoolean(s);
    return true;
}

void CAction::WriteToStream(CStream& s) const {
    WriteInteger(s, kVersion);
    WriteInteger(s, LibraryId);
    WriteInteger(s, ActionId);
    WriteInteger(s, Kind);
    WriteBoolean(s, UseRelative);
    WriteBoolean(s, IsQuestion);
    WriteBoolean(s, UseApplyTo);
    WriteInteger(s, ExecType);
    WriteString(s, FunctionName);
    WriteString(s, Code);
    WriteInteger(s, ArgumentCount);
    WriteInteger(s, int32_t(ArgumentKinds.size()));
    for (int32_t k : ArgumentKinds) WriteInteger(s, k);
    WriteInteger(s, AppliesTo);
    WriteBoolean(s, Relative);
    WriteInteger(s, int32_t(ArgumentTexts.size()));
    for (const std::string& t : ArgumentTexts) WriteString(s, t);
    WriteBoolean(s, Not);
}

bool CEvent::LoadFromStream(CStream& s) {
    actions.clear();
    if (ReadInteger(s) != kVersion) return false;
    int32_t n = ReadCount(s, kMinActionBytes);
    for (int32_t i = 0; i < n; ++i) {
        CAction a;
        if (!a.LoadFromStream(s)) return false;
        actions.push_back(std::move(a));
    }
    return true;
}

void CEvent::WriteToStream(CStream& s) const {
    WriteInteger(s, kVersion);
    WriteInteger(s, int32_t(actions.size()));
    for (const CAction& a : actions) a.WriteToStream(s);
}

CAction& CEvent::AddCodeAction(std::string_view text) {
    CAction a;
    a.Kind = 7;
    a.ExecType = 2;
    a.UseApplyTo = true;
    a.ArgumentCount = 1;
    a.ArgumentKinds = {1};
    a.ArgumentTexts = {std::string(text)};
    actions.push_back(std::move(a));
    return actions.back();
}

bool CObject::LoadFromStream(CStream& s) {
    Reset();
    int32_t version = ReadInteger(s);
    if (version != kVersion && version != kOldVersion) return false;
    SpriteIndex = ReadInteger(s);
    Solid = ReadBoolean(s);
    Visible = ReadBoolean(s);
    Depth = ReadInteger(s);
    Persistent = ReadBoolean(s);
    ParentIndex = ReadInteger(s);
    MaskIndex = ReadInteger(s);
    int32_t last_kind = version == kOldVersion ? 8 : ReadInteger(s);
    if (last_kind >= kEventKindCount) return false;
    for (int32_t kind = 0; kind <= last_kind; ++kind) {
        for (;;) {
            int32_t number = ReadInteger(s);
            if (number == -1) break;
            if (number < 0) return false;
            // A repeated number keeps the record read last, as loading into its slot would.
            if (!events[size_t(kind)][number].LoadFromStream(s)) return false;
        }
    }
    return true;
}

void CObject::WriteToStream(CStream& s) const {
    WriteInteger(s, kVersion);
    WriteInteger(s, SpriteIndex);
    WriteBoolean(s, Solid);
    WriteBoolean(s, Visible);
    WriteInteger(s, Depth);
    WriteBoolean(s, Persistent);
    WriteInteger(s, ParentIndex);
    WriteInteger(s, MaskIndex);
    WriteInteger(s, kEventKindCount - 1);
    for (const auto& list : events) {
        for (const auto& [number, event] : list) {
            WriteInteger(s, number);
            event.WriteToStream(s);
        }
        WriteInteger(s, -1);
    }
}

CEvent* CObject::GetOrCreateEvent(int kind, int number) {
    if (kind < 0 || kind >= kEventKindCount || number < 0) return nullptr;
    return &events[size_t(kind)][number];
}

const CEvent* CObject::GetEvent(int kind, int number) const {
    if (kind < 0 || kind >= kEventKindCount || number < 0) return nullptr;
    const auto& list = events[size_t(kind)];
    auto it = list.find(number);
    if (it == list.end() || it->second.actions.empty()) return nullptr;
    return &it->second;
}

CEvent* CObject::GetEvent(int kind, int number) {
    return const_cast<CEvent*>(std::as_const(*this).GetEvent(kind, number));
}

namespace {

bool HasOwnEventOfKind(const CObject& o, int kind) {
    if (kind < 0 || kind >= kEventKindCount) return false;
    for (const auto& [number, event] : o.events[size_t(kind)])
        if (!event.actions.empty()) return true;
    return false;
}

// Calls visit(index) for `first` and then each existing ancestor, until it returns true or
// the chain ends; a looping chain ends after every object was visited once.
template <class Visit>
bool WalkChain(const ResourceList<CObject>& objects, int first, Visit&& visit) {
    int index = first;
    for (int steps = 0; steps <= objects.Count() && objects.Exists(index); ++steps) {
        if (visit(index)) return true;
        index = objects.Get(index)->ParentIndex;
    }
    return false;
}

}  // namespace

bool CObject::HasEventOfKind(int kind, const ResourceList<CObject>& objects) const {
    if (HasOwnEventOfKind(*this, kind)) return true;
    return WalkChain(objects, ParentIndex,
                     [&](int i) { return HasOwnEventOfKind(*objects.Get(i), kind); });
}

bool IsAncestor(const ResourceList<CObject>& objects, int object, int ancestor) {
    if (!objects.Exists(object)) return false;
    int parent = objects.Get(object)->ParentIndex;
    if (parent < 0) return false;
    if (parent == ancestor) return true;
    return WalkChain(objects, parent, [&](int i) {
        int p = objects.Get(i)->ParentIndex;
        return p >= 0 && p == ancestor;
    });
}

FoundEvent FindEvent(const ResourceList<CObject>& objects, int object, int kind, int number) {
    FoundEvent found;
    auto search = [&](int n) {
        return WalkChain(objects, object, [&](int i) {
            const CEvent* e = objects.Get(i)->GetEvent(kind, n);
            if (!e) return false;
            found = {e, i};
            return true;
        });
    };
    if (search(number)) return found;
    if (kind == ev_collision && objects.Exists(number)) {
        WalkChain(objects, objects.Get(number)->ParentIndex,
                  [&](int ancestor) { return search(ancestor); });
    }
    return found;
}

void ResolveActionFunctions(CEvent& e, const std::function<int(std::string_view)>& resolve,
                            const std::function<void(std::string_view)>& message) {
    for (CAction& a : e.actions) {
        if (a.ExecType != 1) continue;
        a.FunctionIndex = resolve(a.FunctionName);
        if (a.FunctionIndex == -1 && message)
            message("Failed to locate action function " + a.FunctionName);
    }
}

void ResolveActionFunctions(CObject& o, const std::function<int(std::string_view)>& resolve,
                            const std::function<void(std::string_view)>& message) {
    for (auto& list : o.events)
        for (auto& [number, event] : list) ResolveActionFunctions(event, resolve, message);
}

}  // namespace tb

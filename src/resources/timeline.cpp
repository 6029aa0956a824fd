#include "resources/timeline.h"

namespace tb {

bool CTimeLine::LoadFromStream(CStream& s) {
    moment_times.clear();
    moment_events.clear();
    if (ReadInteger(s) != kVersion) return false;
    int32_t n = ReadCount(s, 12);  // time, event version and action count
    for (int32_t i = 0; i < n; ++i) {
        int32_t time = ReadInteger(s);
        CEvent e;
        if (!e.LoadFromStream(s)) return false;
        moment_times.push_back(time);
        moment_events.push_back(std::move(e));
    }
    return true;
}

void CTimeLine::WriteToStream(CStream& s) const {
    WriteInteger(s, kVersion);
    WriteInteger(s, Count());
    for (size_t i = 0; i < moment_times.size(); ++i) {
        WriteInteger(s, moment_times[i]);
        moment_events[i].WriteToStream(s);
    }
}

CEvent* CTimeLine::GetMomentEvent(int index) {
    return index >= 0 && index < Count() ? &moment_events[size_t(index)] : nullptr;
}

const CEvent* CTimeLine::GetMomentEvent(int index) const {
    return index >= 0 && index < Count() ? &moment_events[size_t(index)] : nullptr;
}

int32_t CTimeLine::GetMomentTime(int index) const {
    return index >= 0 && index < Count() ? moment_times[size_t(index)] : 0;
}

int CTimeLine::FindMoment(int32_t time) const {
    for (int i = 0; i < Count(); ++i)
        if (moment_times[size_t(i)] == time) return i;
    return -1;
}

int CTimeLine::MomentIndexAtOrAfter(double position) const {
    int i = 0;
    while (i < Count() && moment_times[size_t(i)] < position) ++i;
    return i;
}

CEvent& CTimeLine::AddMoment(int32_t time) {
    int i = 0;
    while (i < Count() && moment_times[size_t(i)] < time) ++i;
    if (i < Count() && moment_times[size_t(i)] == time) return moment_events[size_t(i)];
    moment_times.insert(moment_times.begin() + i, time);
    return *moment_events.insert(moment_events.begin() + i, CEvent());
}

void CTimeLine::DeleteMoment(int32_t time) {
    int i = 0;
    while (i < Count() && moment_times[size_t(i)] < time) ++i;
    if (i >= Count() || moment_times[size_t(i)] != time) return;
    moment_times.erase(moment_times.begin() + i);
    moment_events.erase(moment_events.begin() + i);
}

void ResolveActionFunctions(CTimeLine& t, const std::function<int(std::string_view)>& resolve,
                            const std::function<void(std::string_view)>& message) {
    for (CEvent& e : t.moment_events) ResolveActionFunctions(e, resolve, message);
}

}  // namespace tb

// Time lines: moments with their action lists.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "resources/object.h"
#include "runner/stream.h"

namespace tb {

class CTimeLine {
  public:
    static constexpr int32_t kVersion = 500;

    // Same length; times ascending with no two equal (as the editor writes them).
    std::vector<int32_t> moment_times;
    std::vector<CEvent> moment_events;

    bool operator==(const CTimeLine&) const = default;

    bool LoadFromStream(CStream& s);
    void WriteToStream(CStream& s) const;

    int Count() const { return int(moment_times.size()); }
    // Null / 0 for an index outside the moments.
    CEvent* GetMomentEvent(int index);
    const CEvent* GetMomentEvent(int index) const;
    int32_t GetMomentTime(int index) const;
    // Index of the moment with exactly that time, or -1.
    int FindMoment(int32_t time) const;
    // First moment whose time is at least `position`; Count() when all are earlier.
    int MomentIndexAtOrAfter(double position) const;
    // The moment of that time, created empty in time order when missing. The reference
    // lasts until the next change of the moments.
    CEvent& AddMoment(int32_t time);
    void DeleteMoment(int32_t time);
};

void ResolveActionFunctions(CTimeLine& t, const std::function<int(std::string_view)>& resolve,
                            const std::function<void(std::string_view)>& message);

}  // namespace tb

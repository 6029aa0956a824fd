#include "world/events.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "resources/object.h"
#include "resources/room.h"
#include "resources/timeline.h"
#include "runner/game.h"
#include "script/code.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "script/registry.h"
#include "world/instance.h"
#include "world/world.h"

namespace tb {

namespace {

// Action kinds after compilation (variable and code actions have become kind 0).
constexpr int32_t kActionBegin = 1;
constexpr int32_t kActionEnd = 2;
constexpr int32_t kActionElse = 3;
constexpr int32_t kActionExit = 4;
constexpr int32_t kActionRepeat = 5;

constexpr int32_t kExecFunction = 1;
constexpr int32_t kExecCode = 2;

constexpr int32_t kAppliesSelf = -1;
constexpr int32_t kAppliesOther = -2;

// The index Exec returns when the list ends here (exit, a pending change, the end).
constexpr int kStop = -1;
// Blocks, questions and repeats nest by recursion; a list nested deeper than any editor
// writes (a damaged file) ends instead of exhausting the native stack.
constexpr int kMaxNesting = 512;

constexpr int kAlarmCount = 12;

// The highest event number listed per kind (collision events have their own list).
constexpr std::array<int, kEventKinds> kListedNumbers = {0,   0,   12, 16,  -1, 128,
                                                         128, 128, 0,  128, 128};

// The room the instance tables come from: the one the script engine runs in, which the loop
// keeps pointing at the current room.
CRoom* CurrentRoom(World& w) {
    return w.engine.room;
}

bool Pending(const World& w) {
    return w.pending_change != kNoChange;
}

// Restores the event context when a nested dispatch returns.
struct ContextScope {
    ScriptEngine& engine;
    EventContext saved;
    ContextScope(ScriptEngine& e, const EventContext& now) : engine(e), saved(e.event) {
        e.event = now;
    }
    ~ContextScope() { engine.event = saved; }
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;
};

// One run of an action list. The actions are re-read by index after everything that runs
// code, because that code may add actions to this very event.
struct ActionRun {
    World& w;
    const CEvent& event;
    CInstance* self;
    CInstance* other;
    int depth = 0;

    int Size() const { return int(event.actions.size()); }
    const CAction& At(int i) const { return event.actions[size_t(i)]; }

    bool Governs(const CAction& a) const {
        return a.Kind == kActionRepeat ||
               (a.IsQuestion && a.Kind != kActionBegin && a.Kind != kActionEnd &&
                a.Kind != kActionElse && a.Kind != kActionExit);
    }

    // The index after the action (or block, or governed chain) at j.
    int Skip(int j) const {
        const int n = Size();
        while (j < n && Governs(At(j))) ++j;
        if (j >= n) return n;
        if (At(j).Kind != kActionBegin) return j + 1;
        int level = 0;
        for (; j < n; ++j) {
            if (At(j).Kind == kActionBegin) {
                ++level;
            } else if (At(j).Kind == kActionEnd && --level == 0) {
                return j + 1;
            }
        }
        return n;
    }

    // Executes the action at i; the index of the next one, or kStop.
    int Exec(int i) {
        if (i < 0 || i >= Size() || Pending(w) || depth >= kMaxNesting) return kStop;
        w.engine.event.action = i;
        ++depth;
        const int next = ExecAt(i);
        --depth;
        return next;
    }

    int ExecAt(int i) {
        const CAction& a = At(i);
        switch (a.Kind) {
            case kActionBegin: {
                int j = i + 1;
                while (j != kStop && j < Size()) {
                    if (At(j).Kind == kActionEnd) return j + 1;
                    j = Exec(j);
                }
                return j;
            }
            case kActionExit:
                return kStop;
            case kActionRepeat:
                return Repeat(i);
            case kActionEnd:
            case kActionElse:
                break;
            default:
                if (a.IsQuestion) return Question(i);
                break;
        }
        Perform(i, false);
        return i + 1;
    }

    int Repeat(int i) {
        const int64_t count = RoundToInt64(ArgumentValue(i, 0).real);
        for (int64_t c = 0; c < count; ++c) {
            if (Exec(i + 1) == kStop || Pending(w)) return kStop;
        }
        return Skip(i + 1);
    }

    int Question(int i) {
        const bool answer = Perform(i, true);
        int next = answer ? Exec(i + 1) : Skip(i + 1);
        if (next == kStop) return kStop;
        // An else here belongs to this question, even when it followed a governed question's
        // action (that question's own else was consumed only if it ran).
        if (next < Size() && At(next).Kind == kActionElse)
            next = answer ? Skip(next + 1) : Exec(next + 1);
        return next;
    }

    // The value of argument k of action i for the given self and other: its constant, or
    // its expression evaluated.
    RValue ArgumentValue(int i, size_t k, CInstance* s = nullptr, CInstance* o = nullptr) {
        if (!s) s = self;
        if (!o) o = other;
        if (i >= Size() || k >= At(i).arguments.size()) return RValue();
        const CAction::Argument& arg = At(i).arguments[k];
        if (!arg.expression) return arg.value;
        std::shared_ptr<CCode> code = arg.expression;  // alive even if the event changes
        RValue v;
        ExecuteReporting(w.engine, s, o, *code, v);
        return v;
    }

    // Runs (or asks) action i with its applies-to target; a question's answer.
    bool Perform(int i, bool question) {
        const CAction& a = At(i);
        const int32_t target = a.UseApplyTo ? a.AppliesTo : kAppliesSelf;
        if (target == kAppliesSelf) return RunOne(i, self, other);
        if (target == kAppliesOther) return RunOne(i, other, self);
        CRoom* room = CurrentRoom(w);
        if (target < 0 || !w.game.objects.Exists(target) || !room ||
            size_t(target) >= room->family_instances.size())
            return true;
        // Instances added by the action are not visited; a table that shrank ends early.
        const size_t count = room->family_instances[size_t(target)].size();
        for (size_t k = 0; k < count; ++k) {
            const std::vector<CInstance*>& family = room->family_instances[size_t(target)];
            if (k >= family.size()) break;
            CInstance* inst = family[k];
            if (!inst || inst->destroyed) continue;
            const bool answer = RunOne(i, inst, other);
            if (question && !answer) return false;
            if (Pending(w)) break;
        }
        return true;
    }

    // Executes one action for (s, o): code, a function call or nothing. The answer it would
    // give as a question.
    bool RunOne(int i, CInstance* s, CInstance* o) {
        if (!s) return true;
        ScriptEngine& e = w.engine;
        const CAction& a = At(i);
        const bool relative = a.UseRelative && a.Relative;
        const bool negate = a.Not;
        const size_t argc = std::min(a.arguments.size(), size_t(kMaxArguments));
        RValue result;
        if (a.ExecType == kExecCode) {
            if (!a.code) return negate;
            std::shared_ptr<CCode> code = a.code;  // alive even if the event changes
            // The slots are saved on the value stack, so nested events cost little native
            // stack; slots at or above the old bound were real 0 and become so again.
            ArgumentSlots& slots = e.arguments;
            ValueStack::Frame saved(e.value_stack, ArgumentSlots::kCount);
            RValue* live = slots.values();
            const size_t top = slots.top();
            for (size_t k = 0; k < top; ++k) saved.data()[k] = live[k];
            const bool saved_relative = w.argument_relative;
            w.argument_relative = relative;
            for (size_t k = 0; k < argc; ++k) {
                RValue v = ArgumentValue(i, k, s, o);
                slots[k] = std::move(v);
            }
            ExecuteReporting(e, s, o, *code, result);
            const size_t used = slots.top();
            for (size_t k = 0; k < used; ++k) live[k] = saved.data()[k];
            slots.Enter(live, top);
            w.argument_relative = saved_relative;
        } else if (a.ExecType == kExecFunction) {
            const int32_t index = a.FunctionIndex;
            w.argument_relative = relative;
            ValueStack::Frame args(e.value_stack, kMaxArguments);
            for (size_t k = 0; k < argc; ++k) args.data()[k] = ArgumentValue(i, k, s, o);
            Call(index, s, o, int(argc), args.data(), result);
            w.argument_relative = false;  // code outside actions reads false
        }
        const bool yes = result.kind == kKindReal && result.real >= 0.5;
        return yes != negate;
    }

    void Call(int32_t index, CInstance* s, CInstance* o, int argc, const RValue* args,
              RValue& result) {
        ScriptEngine& e = w.engine;
        if (index >= kExtensionIdBase) {
            if (e.host.call_extension) {
                e.ClearPending();
                if (!e.host.call_extension(index - kExtensionIdBase, s, o, argc, args, result) &&
                    e.errors.pending) {
                    const std::string message = e.errors.pending_message;
                    e.ClearPending();
                    ShowRuntimeError(e, message, false);
                }
            }
        } else if (index >= kScriptIdBase) {
            if (!CallScript(e, index - kScriptIdBase, s, o, result, args, argc) &&
                e.errors.pending) {
                const std::string message = e.errors.pending_message;
                e.ClearPending();
                ShowRuntimeError(e, message, false);
            }
        } else if (index >= 0 && index < e.functions.Count()) {
            BuiltinFunction handler = e.functions.At(index).handler;
            if (handler) handler(e, s, o, argc, result, args);
        }
    }
};

}  // namespace

void BuildEventLists(const Game& game, EventLists& lists) {
    for (auto& kind : lists.objects)
        for (auto& list : kind) list.clear();
    lists.collision_pairs.clear();
    const ResourceList<CObject>& objects = game.objects;
    for (int o = 0; o < objects.Count(); ++o) {
        const CObject* object = objects.Get(o);
        if (!object) continue;
        for (int kind = 0; kind < kEventKinds; ++kind) {
            if (!object->HasEventOfKind(kind, objects)) continue;
            for (int n = 0; n <= kListedNumbers[size_t(kind)]; ++n)
                if (FindEvent(objects, o, kind, n).event)
                    lists.objects[size_t(kind)][size_t(n)].push_back(o);
        }
        if (!object->HasEventOfKind(ev_collision, objects)) continue;
        for (int j = 0; j < objects.Count(); ++j)
            if (objects.Exists(j) && FindEvent(objects, o, ev_collision, j).event)
                lists.collision_pairs.emplace_back(o, j);
    }
}

void RunActions(World& w, const CEvent& event, CInstance* self, CInstance* other) {
    ActionRun run{w, event, self, other};
    int i = 0;
    while (i != kStop && i < run.Size()) i = run.Exec(i);
}

void DispatchToObject(World& w, CInstance* self, CInstance* other, int32_t object, int32_t kind,
                      int32_t number) {
    if (!self || Pending(w)) return;
    const FoundEvent found = FindEvent(w.game.objects, object, kind, number);
    if (!found.event) return;
    ContextScope scope(w.engine, {found.object, kind, number, 0});
    RunActions(w, *found.event, self, other);
}

void Dispatch(World& w, CInstance* self, CInstance* other, int32_t kind, int32_t number) {
    if (!self) return;
    DispatchToObject(w, self, other, self->object_index, kind, number);
}

void DispatchToAll(World& w, int32_t kind, int32_t number) {
    CRoom* room = CurrentRoom(w);
    if (!room) return;
    const size_t count = room->instances.size();
    for (size_t k = 0; k < count && k < room->instances.size() && !Pending(w); ++k) {
        CInstance* inst = room->instances[k].get();
        if (inst && !inst->destroyed) Dispatch(w, inst, inst, kind, number);
    }
}

void DispatchWalk(World& w, int32_t kind, int32_t number) {
    CRoom* room = CurrentRoom(w);
    if (!room || kind < 0 || kind >= kEventKinds || number < 0 || number >= kEventNumbers) return;
    const std::vector<int32_t>& list = w.events.Of(kind, number);
    for (size_t l = 0; l < list.size() && !Pending(w); ++l) {
        const size_t o = size_t(list[l]);
        if (o >= room->object_instances.size()) continue;
        // Instances created during the walk are not visited; a shrunk table ends early.
        const size_t count = room->object_instances[o].size();
        for (size_t k = 0; k < count && !Pending(w); ++k) {
            const std::vector<CInstance*>& table = room->object_instances[o];
            if (k >= table.size()) break;
            CInstance* inst = table[k];
            if (inst && !inst->destroyed) Dispatch(w, inst, inst, kind, number);
        }
    }
}

void RunTimeLines(World& w) {
    CRoom* room = CurrentRoom(w);
    if (!room) return;
    const size_t count = room->instances.size();
    for (size_t k = 0; k < count && k < room->instances.size(); ++k) {
        CInstance* inst = room->instances[k].get();
        if (!inst || inst->destroyed) continue;
        const int32_t index = inst->timeline_index;
        const CTimeLine* timeline = w.game.timelines.Get(index);
        if (!timeline) continue;
        const int first = timeline->MomentIndexAtOrAfter(inst->timeline_position);
        inst->timeline_position += inst->timeline_speed;
        const int end = timeline->MomentIndexAtOrAfter(inst->timeline_position);
        for (int m = first; m < end; ++m) {
            // The moments may change while they run: look the time line up again and run a
            // copy of the moment, so that adding moments cannot pull it from under the run.
            timeline = w.game.timelines.Get(index);
            if (!timeline || m >= timeline->Count()) break;
            const CEvent moment = *timeline->GetMomentEvent(m);
            ContextScope scope(w.engine,
                               {index, kTimeLineEventType, timeline->GetMomentTime(m), 0});
            RunActions(w, moment, inst, inst);
        }
    }
}

void RunAlarms(World& w) {
    CRoom* room = CurrentRoom(w);
    if (!room) return;
    for (int a = 0; a < kAlarmCount; ++a) {
        const std::vector<int32_t>& list = w.events.Of(ev_alarm, a);
        for (size_t l = 0; l < list.size(); ++l) {
            const size_t o = size_t(list[l]);
            if (o >= room->object_instances.size()) continue;
            const size_t count = room->object_instances[o].size();
            for (size_t k = 0; k < count; ++k) {
                const std::vector<CInstance*>& table = room->object_instances[o];
                if (k >= table.size()) break;
                CInstance* inst = table[k];
                if (!inst || inst->destroyed) continue;
                int32_t& alarm = inst->alarm[size_t(a)];
                if (alarm >= 0) --alarm;
                if (alarm == 0) Dispatch(w, inst, inst, ev_alarm, a);
            }
        }
    }
}

bool RunLibraryInitCode(World& w) {
    ScriptEngine& e = w.engine;
    for (const std::string& text : w.game.library_init_code) {
        if (text.empty()) continue;
        CCode code(text, false);
        if (!code.Compile(e)) {
            ShowError(e,
                      std::string("COMPILATION ERROR in library initialization code") + '\r' +
                          e.errors.pending_message,
                      true);
            return false;
        }
        CInstance temp;
        temp.id = 0;
        temp.object_index = 0;
        temp.object = w.game.objects.Get(0);
        RValue result;
        ExecuteReporting(e, &temp, &temp, code, result);
    }
    return true;
}

}  // namespace tb

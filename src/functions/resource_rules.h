// The rules every resource function follows, written once: rounded index arguments, what
// "exists" means, "<undefined>" names, -1 and "" for missing resources, silent setters, the
// two flag thresholds, new slots appended with their "__new..." names, and deleted resources
// kept alive until the next step so that code running from them is never pulled away.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "resources/resource_list.h"
#include "runner/game.h"
#include "script/engine.h"
#include "script/errors.h"
#include "script/value.h"

namespace tb {

class TextureTable;
class CSprite;
class CBackground;
class CFont;

namespace resource_rules {

// An index argument rounded to the nearest integer (halves to even); a string or a number
// outside the int range names nothing (-1).
inline int32_t IndexArg(const RValue& v) {
    if (v.IsString()) return -1;
    const int64_t i = RoundToInt64(v.real);
    return i >= INT32_MIN && i <= INT32_MAX ? int32_t(i) : -1;
}
// Counts, sizes, colours and positions in pixels: rounded, strings count as 0.
inline int32_t IntArg(const RValue& v) {
    return v.IsString() ? 0 : RoundToInt32(v.real);
}
inline double RealArg(const RValue& v) {
    return v.IsString() ? 0 : v.real;
}
// Flags are true from 0.5 on; the ones marked "> 0.5" only above it.
inline bool FlagArg(const RValue& v) {
    return !v.IsString() && v.real >= 0.5;
}
inline bool FlagAbove(const RValue& v) {
    return !v.IsString() && v.real > 0.5;
}
inline std::string TextArg(const RValue& v) {
    return v.IsString() ? v.text.str() : std::string();
}

// The list of each kind and the name prefix of resources created at run time.
template <class T>
struct Kind;
template <>
struct Kind<CSprite> {
    static ResourceList<CSprite>& List(Game& g) { return g.sprites; }
    static constexpr std::string_view kNewName = "__newsprite";
};
template <>
struct Kind<CBackground> {
    static ResourceList<CBackground>& List(Game& g) { return g.backgrounds; }
    static constexpr std::string_view kNewName = "__newbackground";
};
template <>
struct Kind<CPath> {
    static ResourceList<CPath>& List(Game& g) { return g.paths; }
    static constexpr std::string_view kNewName = "__newpath";
};
template <>
struct Kind<CScript> {
    static ResourceList<CScript>& List(Game& g) { return g.scripts; }
    static constexpr std::string_view kNewName = "__newscript";
};
template <>
struct Kind<CFont> {
    static ResourceList<CFont>& List(Game& g) { return g.fonts; }
    static constexpr std::string_view kNewName = "__newfont";
};
template <>
struct Kind<CTimeLine> {
    static ResourceList<CTimeLine>& List(Game& g) { return g.timelines; }
    static constexpr std::string_view kNewName = "__newtimeline";
};
template <>
struct Kind<CObject> {
    static ResourceList<CObject>& List(Game& g) { return g.objects; }
    static constexpr std::string_view kNewName = "__newobject";
};
template <>
struct Kind<CRoom> {
    static ResourceList<CRoom>& List(Game& g) { return g.rooms; }
    static constexpr std::string_view kNewName = "__newroom";
};

// The resource the argument names, or null.
template <class T>
T* Lookup(ScriptEngine& e, const RValue& index) {
    return e.game ? Kind<T>::List(*e.game).Get(IndexArg(index)) : nullptr;
}

// Appends the resource as a new slot named prefix + index; returns the index.
template <class T>
int32_t Append(Game& game, std::unique_ptr<T> item) {
    ResourceList<T>& list = Kind<T>::List(game);
    const int32_t index = list.Add(std::move(item), "");
    list.names[size_t(index)] = std::string(Kind<T>::kNewName) + std::to_string(index);
    return index;
}

// Empties the slot (the index is never reused). The resource itself lives on in the game's
// retired list until the next step begins, so that an event or time line running from it
// finishes safely.
template <class T>
void Retire(Game& game, int32_t index) {
    ResourceList<T>& list = Kind<T>::List(game);
    if (!list.Exists(index)) return;
    game.retired.push_back(std::shared_ptr<T>(std::move(list.items[size_t(index)])));
    list.names[size_t(index)].clear();
}

// --- handlers shared by every kind

using Handler = BuiltinFunction;

template <class T>
void ExistsFunction(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                    const RValue* args) {
    result.SetReal(Lookup<T>(e, args[0]) ? 1 : 0);
}

template <class T>
void NameFunction(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                  const RValue* args) {
    result.SetString(
        RString(e.game ? Kind<T>::List(*e.game).Name(IndexArg(args[0])) : kUndefinedName));
}

// A numeric property: -1 for a resource that does not exist.
template <class T, double (*Field)(const T&)>
void NumberGetter(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result,
                  const RValue* args) {
    const T* item = Lookup<T>(e, args[0]);
    result.SetReal(item ? Field(*item) : -1);
}

// A text property: "" for a resource that does not exist.
template <class T, std::string (*Field)(const T&)>
void TextGetter(ScriptEngine& e, CInstance*, CInstance*, int, RValue& result, const RValue* args) {
    const T* item = Lookup<T>(e, args[0]);
    result.SetString(RString(item ? Field(*item) : std::string()));
}

// A change to an existing resource with the remaining arguments; nothing at all for one that
// does not exist.
template <class T, void (*Apply)(ScriptEngine&, T&, const RValue*)>
void Setter(ScriptEngine& e, CInstance*, CInstance*, int, RValue&, const RValue* args) {
    if (T* item = Lookup<T>(e, args[0])) Apply(e, *item, args + 1);
}

// The resource named by the argument, or null after the error `message`.
template <class T>
T* Require(ScriptEngine& e, const RValue& index, std::string_view message) {
    T* item = Lookup<T>(e, index);
    if (!item) ShowRuntimeError(e, message, false);
    return item;
}

// exists, name and get_name of one kind.
void RegisterNameFunctions(FunctionRegistry& r, std::string_view prefix, Handler exists,
                           Handler name);

// --- textures of the drawing resources: freed before a change, made again after it

TextureTable* Textures(ScriptEngine& e);
void FreeTextures(ScriptEngine& e, CSprite& s);
void MakeTextures(ScriptEngine& e, CSprite& s);
void FreeTextures(ScriptEngine& e, CBackground& b);
void MakeTextures(ScriptEngine& e, CBackground& b);
void FreeTextures(ScriptEngine& e, CFont& f);
void MakeTextures(ScriptEngine& e, CFont& f);

template <class T, class Change>
auto ChangeImages(ScriptEngine& e, T& item, Change&& change) {
    FreeTextures(e, item);
    if constexpr (std::is_void_v<decltype(change())>) {
        change();
        MakeTextures(e, item);
    } else {
        auto result = change();
        MakeTextures(e, item);
        return result;
    }
}

// A picture size that may be allocated.
bool PictureSizeAllowed(int64_t w, int64_t h);
// The host path of a file name a game gives.
std::string GamePath(const RValue& name);

}  // namespace resource_rules
}  // namespace tb

#include "runner/game_summary.h"

#include <cstdio>
#include <sstream>

namespace tb {

namespace {

const char* YesNo(bool b) {
    return b ? "yes" : "no";
}

template <class T>
void DescribeList(std::ostringstream& o, const char* kind, const ResourceList<T>& list) {
    int used = 0;
    for (int i = 0; i < list.Count(); ++i) used += list.Exists(i);
    o << kind << ": " << used << " (" << list.Count() << " slots)\n";
    for (int i = 0; i < list.Count(); ++i)
        if (list.Exists(i)) o << "  " << i << " " << list.names[size_t(i)] << "\n";
}

}  // namespace

std::string DescribeGame(const Game& g) {
    std::ostringstream o;
    const GameSettings& s = g.settings;
    char guid[40];
    for (int i = 0; i < 16; ++i) std::snprintf(guid + 2 * i, 3, "%02X", g.guid[size_t(i)]);
    o << "game id: " << g.game_id << "\n";
    o << "guid: " << guid << "\n";
    o << "debug mode: " << YesNo(g.debug) << "\n";
    o << "settings:\n";
    o << "  full screen: " << YesNo(s.FullScreen) << ", interpolate: " << YesNo(s.Interpolate)
      << ", border: " << YesNo(!s.NoBorder) << ", cursor: " << YesNo(s.ShowCursor) << "\n";
    o << "  scale: " << s.Scale << ", sizeable: " << YesNo(s.SizeableWindow)
      << ", stay on top: " << YesNo(s.StayOnTop) << ", window colour: " << s.WindowColor
      << ", vsync: " << YesNo(s.VSync) << "\n";
    o << "  keys: F1 " << YesNo(s.KeyF1) << ", Esc " << YesNo(s.KeyEsc) << ", F4 " << YesNo(s.KeyF4)
      << ", F5/F6 " << YesNo(s.KeyF5F6) << ", F9 " << YesNo(s.KeyF9) << ", close as Esc "
      << YesNo(s.CloseAsEsc) << "\n";
    o << "  priority: " << s.Priority << ", freeze on lose focus: " << YesNo(s.FreezeOnLoseFocus)
      << ", progress bar: " << YesNo(s.ShowProgressBar) << "\n";
    o << "  errors: display " << YesNo(s.DisplayErrors) << ", write " << YesNo(s.WriteErrors)
      << ", abort " << YesNo(s.AbortOnError) << ", uninitialized as zero "
      << YesNo(s.UninitializedAsZero) << "\n";
    o << "constants: " << s.ConstantNames.size() << "\n";
    for (size_t i = 0; i < s.ConstantNames.size() && i < s.ConstantValues.size(); ++i)
        o << "  " << s.ConstantNames[i] << " = " << s.ConstantValues[i] << "\n";
    o << "extension packages: " << g.extensions.size() << "\n";
    for (const CExtensionPackage& p : g.extensions) o << "  " << p.name << "\n";
    DescribeList(o, "sounds", g.sounds);
    DescribeList(o, "sprites", g.sprites);
    DescribeList(o, "backgrounds", g.backgrounds);
    DescribeList(o, "paths", g.paths);
    DescribeList(o, "scripts", g.scripts);
    DescribeList(o, "fonts", g.fonts);
    DescribeList(o, "time lines", g.timelines);
    DescribeList(o, "objects", g.objects);
    DescribeList(o, "rooms", g.rooms);
    o << "included files: " << g.included_files.size() << "\n";
    for (const CDataFile& f : g.included_files) o << "  " << f.FileName << "\n";
    o << "library init code: " << g.library_init_code.size() << "\n";
    o << "room order:";
    for (int32_t r : g.room_order) o << " " << r << " (" << g.rooms.Name(r) << ")";
    o << "\n";
    return o.str();
}

}  // namespace tb

// Project folder form of paths, sounds, scripts, time lines and objects.
#pragma once

#include <filesystem>

#include "resources/object.h"
#include "resources/path.h"
#include "resources/script.h"
#include "resources/sound.h"
#include "resources/timeline.h"

namespace tb::pack {

// Each Save writes `base`.json and its side files (`base`_... next to it); each Load reads
// them back and throws ProjectError naming the file and the fault.

void SavePath(const CPath& p, const std::filesystem::path& base);
void LoadPath(const std::filesystem::path& base, CPath& p);

// The sound file's bytes go to `base`_data + FileType (".bin" when FileType is not a plain
// extension).
void SaveSound(const CSound& s, const std::filesystem::path& base);
void LoadSound(const std::filesystem::path& base, CSound& s);

// The plain text goes to `base`.txt.
void SaveScript(const CScript& s, const std::filesystem::path& base);
void LoadScript(const std::filesystem::path& base, CScript& s);

// Code of code actions goes to text files: `base`_m<time>_a<i>.txt for time lines,
// `base`_e<kind>_<number>_a<i>.txt for objects (with _code for an action's Code field).
void SaveTimeLine(const CTimeLine& t, const std::filesystem::path& base);
void LoadTimeLine(const std::filesystem::path& base, CTimeLine& t);

void SaveObject(const CObject& o, const std::filesystem::path& base);
void LoadObject(const std::filesystem::path& base, CObject& o);

}  // namespace tb::pack

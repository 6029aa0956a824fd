#include "resources/script.h"

namespace tb {

bool CScript::LoadFromStream(CStream& s) {
    text.clear();
    if (ReadInteger(s) != kVersion) return false;
    text = ReadCompressed(s).data;
    return true;
}

void CScript::WriteToStream(CStream& s) const {
    WriteInteger(s, kVersion);
    WriteCompressed(s, text.data(), text.size());
}

std::string CScript::GetScriptText() const {
    if (text.empty()) return {};
    CStream copy(text);
    DescrambleSubstitute(copy, kTextSeed, 0, 0);
    return ReadString(copy);
}

void CScript::SetScriptText(std::string_view plain) {
    CStream block;
    WriteString(block, plain);
    ScrambleSubstitute(block, kTextSeed, 0, 0);
    text = std::move(block.data);
}

}  // namespace tb

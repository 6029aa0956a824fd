#include "functions/actions_common.h"

#include "script/real_text.h"
#include "world/instance.h"

namespace tb::actions {

double RelX(const ScriptEngine& e, const CInstance* self, const RValue& v) {
    return Relative(e) && self ? self->x + Number(v) : Number(v);
}

double RelY(const ScriptEngine& e, const CInstance* self, const RValue& v) {
    return Relative(e) && self ? self->y + Number(v) : Number(v);
}

std::string TextOf(const RValue& v) {
    return v.IsString() ? v.text.str() : RealToString(v.real);
}

}  // namespace tb::actions

// Printable names of events, used by error messages and the debug window.
#pragma once

#include <string>

#include "resources/object.h"
#include "resources/resource_list.h"

namespace tb {

// `objects` names the other object of a collision event.
std::string EventName(int kind, int number, const ResourceList<CObject>& objects);
std::string KeyName(int key);
std::string MouseName(int number);
std::string OtherName(int number);

}  // namespace tb

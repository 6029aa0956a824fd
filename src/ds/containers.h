// Stacks, queues, lists, maps and priority queues of values, with their text forms.
#pragma once

namespace tb {

class CDS_Stack {};
class CDS_Queue {};
class CDS_List {};
class CDS_Map {};
class CDS_Priority {};

}  // namespace tb

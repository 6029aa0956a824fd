// Two-dimensional grids of values, with their text form.
#pragma once

namespace tb {

class CDS_Grid {};

}  // namespace tb

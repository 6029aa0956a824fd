#pragma once

#include <stdexcept>

namespace tb::pack {

// A project folder that cannot be read or written; the message names the file and the fault.
struct ProjectError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace tb::pack

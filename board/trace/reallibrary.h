#pragma once

#include "tracefunctions.h"

#ifdef _WIN32
#  include "boardbinding.h"
#endif

#include <array>
#include <string>

namespace BoardTrace {

// The real board library behind the recorder and its functions: all of them,
// or none when one is missing, with the reason.
class RealLibrary
{
public:
    RealLibrary();

    // The real function, or null when the calls cannot be forwarded.
    void *function(Id id) const { return forwarding ? functions[int(id)] : nullptr; }
    bool isForwarding() const { return forwarding; }
    const std::string &reason() const { return why; }

private:
    std::array<void *, FunctionCount> functions {};
    bool forwarding = false;
    std::string why;
#ifdef _WIN32
    BoardBinding::Library library;
#endif
};

} // namespace BoardTrace

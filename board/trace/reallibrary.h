#pragma once

#include "tracefunctions.h"

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
    // Per platform: finding the library, one function in it, and what to say
    // of the functions it lacks.
    bool open();
    void *find(const Function &function);
    std::string lacking(const std::string &missing) const;

    std::array<void *, FunctionCount> functions {};
    bool forwarding = false;
    std::string why;
    std::string path;
    void *library = nullptr;
    const void *self = nullptr;
};

} // namespace BoardTrace

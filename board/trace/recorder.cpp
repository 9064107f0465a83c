#include "recorder.h"

#include "operatornotice.h"

namespace BoardTrace {

Recorder &Recorder::instance()
{
    static Recorder recorder;
    return recorder;
}

Recorder::Recorder()
{
    if (!library.isForwarding()) {
        const std::string text = "cannot forward the board's calls: " + library.reason()
            + "; every call fails (result " + std::to_string(NotForwarded) + ") and writes nothing";
        say(text);
        file.write("# " + text + '\n');
    }
}

void Recorder::opened(Clock::time_point when)
{
    const std::lock_guard<std::mutex> lock(mutex);
    if (!boardOpen)
        start = when;
    boardOpen = true;
}

void Recorder::summarise()
{
    const std::lock_guard<std::mutex> lock(mutex);
    boardOpen = false;
    const std::string summary = statistics.takeSummary();
    file.write(summary);
}

} // namespace BoardTrace

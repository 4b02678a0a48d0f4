#include "tests/support/SpeechStandIn.h"

#include "tests/support/ProcessWindow.h"
#include "tests/support/SharedFile.h"
#include "tests/support/Wait.h"

#include <windows.h>

bool SpeechStandIn::Start(const std::string& exe, const std::string& folder,
                          std::chrono::milliseconds deadline)
{
    log_ = folder + "\\voxlume.log";
    DeleteFileA(log_.c_str());
    if (!process_.Start(exe, {log_}, folder))
        return false;
    return WaitUntil([&] { return FindProcessWindow(process_.Id(), "Voxlume", false) != nullptr; }, deadline);
}

std::string SpeechStandIn::Log() const
{
    return ReadSharedFile(log_);
}

size_t SpeechStandIn::Said(const std::string& line) const
{
    return CountOf(Log(), line + "\n");
}

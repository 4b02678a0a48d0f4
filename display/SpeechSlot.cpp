#include "display/SpeechSlot.h"

#include <utility>

bool SpeechSlot::Put(std::string text)
{
    if (text.size() > LongestText)
        text.resize(LongestText);
    {
        std::lock_guard<std::mutex> held(lock);
        if (stopped)
            return false;
        if (waiting)
            ++replaced;
        waiting = std::move(text);
    }
    changed.notify_all();
    return true;
}

std::optional<std::string> SpeechSlot::Take(std::chrono::milliseconds patience)
{
    std::unique_lock<std::mutex> held(lock);
    changed.wait_for(held, patience, [this] { return stopped || waiting.has_value(); });
    if (stopped)
        return std::nullopt;
    std::optional<std::string> text = std::move(waiting);
    waiting.reset();
    return text;
}

void SpeechSlot::Clear()
{
    std::lock_guard<std::mutex> held(lock);
    waiting.reset();
}

void SpeechSlot::Stop()
{
    {
        std::lock_guard<std::mutex> held(lock);
        stopped = true;
        waiting.reset();
    }
    changed.notify_all();
}

bool SpeechSlot::Stopped() const
{
    std::lock_guard<std::mutex> held(lock);
    return stopped;
}

size_t SpeechSlot::Replaced() const
{
    std::lock_guard<std::mutex> held(lock);
    return replaced;
}

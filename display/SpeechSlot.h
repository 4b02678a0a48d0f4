#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>

// The one text waiting for a voice. Announcers put, the voice's thread
// takes. A newer text takes the place of one not yet taken, so a voice that
// is slower than the updates never builds a backlog: it is at most one text
// behind, and that text is the newest. After Stop nothing is handed out
// again, so a closing program says nothing more.
//
// Portable: no platform calls, so it is tested natively under the thread
// sanitizer.
class SpeechSlot {
public:
    // A longer text is cut here: the words come from outside (the rate
    // feed), and no announcement is anywhere near this long.
    static constexpr size_t LongestText = 4096;

    SpeechSlot() = default;
    SpeechSlot(const SpeechSlot&) = delete;
    SpeechSlot& operator=(const SpeechSlot&) = delete;

    // Leaves `text` to be said next, in place of any text not yet taken.
    // False once stopped: the text is dropped.
    bool Put(std::string text);

    // Takes the waiting text out of the slot, waiting up to `patience` for
    // one. Nothing when none came in time or the slot is stopped; a stop
    // ends the wait at once.
    std::optional<std::string> Take(std::chrono::milliseconds patience = std::chrono::milliseconds::zero());

    // Drops the waiting text, if any; the slot stays open.
    void Clear();

    // Drops the waiting text for good: from now on Put refuses and Take
    // gives nothing. Cannot be undone.
    void Stop();
    bool Stopped() const;

    // How many texts were dropped unsaid because a newer one took their place.
    size_t Replaced() const;

private:
    mutable std::mutex lock;
    std::condition_variable changed;  // a text arrived or the slot stopped
    std::optional<std::string> waiting;
    bool stopped = false;
    size_t replaced = 0;
};

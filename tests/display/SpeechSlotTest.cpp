// The one-slot queue between announcers and the voice: the newest text wins,
// nothing is handed out after a stop. The threaded cases run under
// ThreadSanitizer in the native build.
#include "display/SpeechSlot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// One step on the slot. Put: `text` is put and `answer` is what Put says.
// Take: `answer` is whether a text comes out, and `text` which.
struct Step {
    enum Kind { Put, Take, Clear, Stop } kind;
    const char* text;
    bool answer;
};
constexpr Step Put(const char* text, bool accepted = true)
{
    return {Step::Put, text, accepted};
}
constexpr Step Takes(const char* text)
{
    return {Step::Take, text, true};
}
constexpr Step TakesNothing()
{
    return {Step::Take, "", false};
}
constexpr Step Clear()
{
    return {Step::Clear, "", true};
}
constexpr Step Stop()
{
    return {Step::Stop, "", true};
}

struct Case {
    const char* name;
    std::vector<Step> steps;
    size_t replaced;
};

TEST(SpeechSlot, NewestTextWinsAndNothingLeavesAfterStop)
{
    const Case cases[] = {
        {"empty slot gives nothing", {TakesNothing()}, 0},
        {"one text, taken once", {Put("a"), Takes("a"), TakesNothing()}, 0},
        {"a newer text replaces an unspoken one",
         {Put("a"), Put("b"), Put("c"), Takes("c"), TakesNothing()},
         2},
        {"a taken text is not replaced", {Put("a"), Takes("a"), Put("b"), Takes("b")}, 0},
        {"clear drops the waiting text and keeps the slot open",
         {Put("a"), Clear(), TakesNothing(), Put("b"), Takes("b")},
         0},
        {"stop drops the waiting text", {Put("a"), Stop(), TakesNothing()}, 0},
        {"nothing is taken in after a stop",
         {Stop(), Put("a", false), TakesNothing(), Clear(), Put("b", false), TakesNothing()},
         0},
        {"an empty text is still a text", {Put(""), Put("x"), Put(""), Takes(""), TakesNothing()}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SpeechSlot slot;
        for (const Step& step : c.steps) {
            switch (step.kind) {
            case Step::Put:
                EXPECT_EQ(slot.Put(step.text), step.answer) << step.text;
                break;
            case Step::Take: {
                std::optional<std::string> taken = slot.Take();
                ASSERT_EQ(taken.has_value(), step.answer) << taken.value_or("");
                if (taken) {
                    EXPECT_EQ(*taken, step.text);
                }
                break;
            }
            case Step::Clear:
                slot.Clear();
                break;
            case Step::Stop:
                slot.Stop();
                EXPECT_TRUE(slot.Stopped());
                break;
            }
        }
        EXPECT_EQ(slot.Replaced(), c.replaced);
    }
}

TEST(SpeechSlot, AnOverlongTextIsCut)
{
    SpeechSlot slot;
    slot.Put(std::string(SpeechSlot::LongestText + 100, 'x'));
    std::optional<std::string> taken = slot.Take();
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->size(), SpeechSlot::LongestText);
}

TEST(SpeechSlot, AWaitingTakeEndsWithTheNextText)
{
    SpeechSlot slot;
    std::optional<std::string> taken;
    std::thread voice([&] { taken = slot.Take(60s); });
    slot.Put("1.0842 - 45");
    voice.join();
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(*taken, "1.0842 - 45");
}

TEST(SpeechSlot, AStopEndsAWaitingTakeWithNothing)
{
    SpeechSlot slot;
    std::optional<std::string> taken{"not yet"};
    std::chrono::steady_clock::duration waited{};
    std::thread voice([&] {
        auto start = std::chrono::steady_clock::now();
        taken = slot.Take(60s);
        waited = std::chrono::steady_clock::now() - start;
    });
    slot.Stop();
    voice.join();
    EXPECT_FALSE(taken.has_value());
    EXPECT_LT(waited, 60s) << "the stop, not the patience, ended the wait";
}

// A fast announcer and a voice that takes whatever is there: the voice sees
// the texts in the order they were put, skips some, never sees one twice,
// and ends with the newest. Every text is either taken or replaced.
TEST(SpeechSlot, AFastAnnouncerAndASlowerVoiceLeaveNoBacklog)
{
    SpeechSlot slot;
    constexpr int count = 20000;
    std::atomic<bool> announcing{true};
    std::vector<int> heard;
    std::thread voice([&] {
        for (;;) {
            bool more = announcing.load();
            std::optional<std::string> text = slot.Take(1ms);
            if (text)
                heard.push_back(std::stoi(*text));
            else if (!more)
                break;  // the announcer was done before this empty take
        }
    });
    for (int i = 1; i <= count; ++i)
        slot.Put(std::to_string(i));
    announcing = false;
    voice.join();

    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.back(), count) << "the newest text is said last";
    for (size_t i = 1; i < heard.size(); ++i)
        ASSERT_LT(heard[i - 1], heard[i]) << "in order, none twice";
    EXPECT_EQ(heard.size() + slot.Replaced(), static_cast<size_t>(count));
}

// Stop from a third party while the announcer keeps putting: once the voice
// has seen the stop, it is given nothing more.
TEST(SpeechSlot, NothingIsHandedOutAfterAStop)
{
    SpeechSlot slot;
    std::atomic<bool> stopSeen{false};
    std::atomic<int> afterStop{0};
    std::atomic<bool> announcing{true};
    std::thread announcer([&] {
        for (int i = 0; announcing.load(); ++i)
            slot.Put(std::to_string(i));
    });
    std::thread voice([&] {
        while (!stopSeen.load()) {
            bool stoppedBefore = slot.Stopped();
            std::optional<std::string> text = slot.Take(1ms);
            if (stoppedBefore && text)
                ++afterStop;
            if (stoppedBefore)
                stopSeen = true;
        }
        for (int i = 0; i < 1000; ++i)
            if (slot.Take())
                ++afterStop;
    });
    std::this_thread::yield();
    slot.Stop();
    voice.join();
    announcing = false;
    announcer.join();
    EXPECT_EQ(afterStop.load(), 0);
    EXPECT_FALSE(slot.Put("late"));
}

}  // namespace

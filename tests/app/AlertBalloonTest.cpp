#include "app/AlertBalloon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(AlertBalloon, MessagesShareOneBalloonWhileTheyFitWhole)
{
    const std::string first = "EURUSD above 1.0900: 1.0912";
    const std::string second = "USDJPY below 149.00: 148.95";
    struct Case {
        std::vector<std::string> messages;
        std::string text;
    } cases[] = {
        {{first}, first},
        {{first, second}, first + "\n" + second},
        {{first, "", second}, first + "\n" + second},
        {{std::string(255, 'x')}, std::string(255, 'x')},
        {{std::string(256, 'x'), first}, first},                       // too long alone: left out
        {{std::string(254, 'x'), "y"}, std::string(254, 'x')},         // 256 with the line break
        {{std::string(253, 'x'), "y"}, std::string(253, 'x') + "\ny"},  // exactly 255
    };
    for (const Case& c : cases) {
        std::string pending;
        for (const std::string& message : c.messages)
            AppendBalloonLine(pending, message);
        EXPECT_EQ(pending, c.text);
        EXPECT_LE(pending.size(), BalloonTextLength);
    }
}

TEST(AlertBalloon, RecordCarriesTheTextForTheSameIcon)
{
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V1_SIZE;
    icon.hWnd = reinterpret_cast<HWND>(0x1234);
    icon.uID = 7;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    NOTIFYICONDATAA balloon = AlertBalloon(icon, "EURUSD above 1.0900: 1.0912", "quillbrae");
    EXPECT_EQ(balloon.cbSize, static_cast<DWORD>(NOTIFYICONDATAA_V2_SIZE));
    EXPECT_EQ(balloon.hWnd, icon.hWnd);
    EXPECT_EQ(balloon.uID, 7u);
    EXPECT_EQ(balloon.uFlags, static_cast<UINT>(NIF_INFO)) << "the icon and tip stay as they are";
    EXPECT_STREQ(balloon.szInfo, "EURUSD above 1.0900: 1.0912");
    EXPECT_STREQ(balloon.szInfoTitle, "quillbrae");

    // Overlong texts are cut inside their fields, terminator included.
    NOTIFYICONDATAA cut = AlertBalloon(icon, std::string(400, 'a'), std::string(100, 'b'));
    EXPECT_EQ(std::string(cut.szInfo), std::string(255, 'a'));
    EXPECT_EQ(std::string(cut.szInfoTitle), std::string(63, 'b'));
}

}  // namespace

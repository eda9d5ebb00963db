#include "shell/CloseRules.h"

#include <gtest/gtest.h>

namespace {

TEST(CloseRules, FlagsTable)
{
    const struct
    {
        const char* Name;
        TShutdownFlags Before;
        bool Answer;
        TCloseDecision Decision;
        TShutdownFlags After;
        int Questions;
    } cases[] = {
        {"frame close hides", {false, false, true}, true, TCloseDecision::Hide, {false, false, true}, 0},
        {"exit, answered yes", {false, true, true}, true, TCloseDecision::Close, {true, false, true}, 1},
        {"exit, answered no", {false, true, true}, false, TCloseDecision::Refuse, {false, false, true}, 1},
        {"exit without question", {false, true, false}, false, TCloseDecision::Close, {false, true, false}, 0},
        {"closing already, no exit asked", {true, false, false}, true, TCloseDecision::Hide, {true, false, false}, 0},
        {"update accepted", {true, true, false}, false, TCloseDecision::Close, {true, true, false}, 0},
    };
    for (const auto& c : cases) {
        TShutdownFlags flags = c.Before;
        int questions = 0;
        const TCloseDecision decision = DecideClose(flags, [&] {
            ++questions;
            return c.Answer;
        });
        EXPECT_EQ(decision, c.Decision) << c.Name;
        EXPECT_EQ(flags.FClosing, c.After.FClosing) << c.Name;
        EXPECT_EQ(flags.FExitRequested, c.After.FExitRequested) << c.Name;
        EXPECT_EQ(flags.FConfirmExit, c.After.FConfirmExit) << c.Name;
        EXPECT_EQ(questions, c.Questions) << c.Name;
    }
}

TEST(CloseRules, ExitAnsweredNoThenFrameCloseHidesWithoutAsking)
{
    TShutdownFlags flags;
    flags.FExitRequested = true;
    EXPECT_EQ(DecideClose(flags, [] { return false; }), TCloseDecision::Refuse);
    int questions = 0;
    EXPECT_EQ(DecideClose(flags, [&] { return ++questions, true; }), TCloseDecision::Hide);
    EXPECT_EQ(questions, 0);
}

} // namespace

#include "config/IniFile.h"
#include "core/Global.h"
#include "page/FindBar.h"
#include "page/PageFind.h"
#include "page/PageZoom.h"
#include "page/KeyRouting.h"
#include "shell/Main.h"
#include "tabs/PageControl.h"
#include "tabs/TabCycle.h"
#include "tabs/TabRegistry.h"
#include "page/Zoom.h"
#include "util/AppError.h"
#include "widgets/AppMessageBox.h"

#include "FormFixture.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

constexpr Qt::KeyboardModifiers kNone = Qt::NoModifier;
constexpr Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers kShift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers kAlt = Qt::AltModifier;
constexpr Qt::KeyboardModifiers kCtrlShift = Qt::ControlModifier | Qt::ShiftModifier;

TKeyPress Key(int key, Qt::KeyboardModifiers modifiers = kNone, bool repeat = false)
{
    return {key, modifiers, repeat};
}

// ---- which key goes where ---------------------------------------------------

struct TRouteCase
{
    const char* Name;
    TKeyPress Pressed;
    TKeySource Source;
    TKeyCommand Command;
    bool Taken;
    int Tab = 0;
};

using S = TKeySource;
using C = TKeyCommand;

const TRouteCase kRoutes[] = {
    // The tab keys are the shell's before the page sees them.
    {"CtrlW before the page", Key(Qt::Key_W, kCtrl), S::PageBefore, C::CloseTab, true},
    {"CtrlTab before the page", Key(Qt::Key_Tab, kCtrl), S::PageBefore, C::NextTab, true},
    {"CtrlShiftTab as Backtab", Key(Qt::Key_Backtab, kCtrlShift), S::PageBefore, C::PreviousTab, true},
    {"CtrlShiftTab as Tab", Key(Qt::Key_Tab, kCtrlShift), S::PageBefore, C::PreviousTab, true},
    {"CtrlPgDn", Key(Qt::Key_PageDown, kCtrl), S::PageBefore, C::NextTab, true},
    {"CtrlPgUp", Key(Qt::Key_PageUp, kCtrl), S::PageBefore, C::PreviousTab, true},
    {"Ctrl1", Key(Qt::Key_1, kCtrl), S::PageBefore, C::SelectTab, true, 1},
    {"Ctrl8", Key(Qt::Key_8, kCtrl), S::PageBefore, C::SelectTab, true, 8},
    {"Ctrl9 is the last tab", Key(Qt::Key_9, kCtrl), S::PageBefore, C::LastTab, true},
    // Page keys: the page has them first.
    {"F5 before the page", Key(Qt::Key_F5), S::PageBefore, C::None, false},
    {"CtrlF before the page", Key(Qt::Key_F, kCtrl), S::PageBefore, C::None, false},
    {"CtrlPlus before the page", Key(Qt::Key_Plus, kCtrlShift), S::PageBefore, C::None, false},
    {"Esc before the page", Key(Qt::Key_Escape), S::PageBefore, C::None, false},
    {"F5 left by the page", Key(Qt::Key_F5), S::PageUnhandled, C::Reload, true},
    {"CtrlR", Key(Qt::Key_R, kCtrl), S::PageUnhandled, C::Reload, true},
    {"ShiftF5", Key(Qt::Key_F5, kShift), S::PageUnhandled, C::ReloadBypassingCache, true},
    {"CtrlShiftR", Key(Qt::Key_R, kCtrlShift), S::PageUnhandled, C::ReloadBypassingCache, true},
    {"Esc in the page stops", Key(Qt::Key_Escape), S::PageUnhandled, C::StopLoad, true},
    {"AltLeft", Key(Qt::Key_Left, kAlt), S::PageUnhandled, C::GoBack, true},
    {"AltRight", Key(Qt::Key_Right, kAlt), S::PageUnhandled, C::GoForward, true},
    {"F11", Key(Qt::Key_F11), S::PageUnhandled, C::ToggleFullScreen, true},
    {"CtrlP", Key(Qt::Key_P, kCtrl), S::PageUnhandled, C::Print, true},
    {"CtrlJ", Key(Qt::Key_J, kCtrl), S::PageUnhandled, C::ShowDownloads, true},
    {"CtrlComma", Key(Qt::Key_Comma, kCtrl), S::PageUnhandled, C::ShowOptions, true},
    {"CtrlShiftT", Key(Qt::Key_T, kCtrl | Qt::ShiftModifier), S::PageBefore, C::ReopenClosedTab, true},
    {"CtrlF", Key(Qt::Key_F, kCtrl), S::PageUnhandled, C::OpenFind, true},
    {"F3", Key(Qt::Key_F3), S::PageUnhandled, C::FindNext, true},
    {"ShiftF3", Key(Qt::Key_F3, kShift), S::PageUnhandled, C::FindPrevious, true},
    {"CtrlPlus with Shift", Key(Qt::Key_Plus, kCtrlShift), S::PageUnhandled, C::ZoomIn, true},
    {"CtrlEqual", Key(Qt::Key_Equal, kCtrl), S::PageUnhandled, C::ZoomIn, true},
    {"keypad plus", Key(Qt::Key_Plus, kCtrl | Qt::KeypadModifier), S::PageUnhandled, C::ZoomIn, true},
    {"CtrlMinus", Key(Qt::Key_Minus, kCtrl), S::PageUnhandled, C::ZoomOut, true},
    {"Ctrl0", Key(Qt::Key_0, kCtrl), S::PageUnhandled, C::ZoomReset, true},
    // Wrong modifiers are not the key.
    {"F5 with Ctrl", Key(Qt::Key_F5, kCtrl), S::PageUnhandled, C::None, false},
    {"plain W", Key(Qt::Key_W), S::PageUnhandled, C::None, false},
    {"AltShiftLeft", Key(Qt::Key_Left, kAlt | kShift), S::PageUnhandled, C::None, false},
    {"Enter in the page", Key(Qt::Key_Return), S::PageUnhandled, C::None, false},
    // The window and the tab strip: every shell and page key.
    {"CtrlW from the strip", Key(Qt::Key_W, kCtrl), S::Shell, C::CloseTab, true},
    {"F5 from the strip", Key(Qt::Key_F5), S::Shell, C::Reload, true},
    {"Enter from the strip", Key(Qt::Key_Return), S::Shell, C::None, false},
    // The find bar: its own keys first, then the rest.
    {"Enter in the bar", Key(Qt::Key_Return), S::FindBar, C::FindNext, true},
    {"keypad Enter in the bar", Key(Qt::Key_Enter, Qt::KeypadModifier), S::FindBar, C::FindNext, true},
    {"ShiftEnter in the bar", Key(Qt::Key_Return, kShift), S::FindBar, C::FindPrevious, true},
    {"Esc in the bar closes it", Key(Qt::Key_Escape), S::FindBar, C::CloseFind, true},
    {"CtrlTab in the bar", Key(Qt::Key_Tab, kCtrl), S::FindBar, C::NextTab, true},
    {"CtrlF in the bar", Key(Qt::Key_F, kCtrl), S::FindBar, C::OpenFind, true},
    // Held down: only harmless keys repeat; the key stays taken.
    {"CtrlW repeating", Key(Qt::Key_W, kCtrl, true), S::PageBefore, C::None, true},
    {"F5 repeating", Key(Qt::Key_F5, kNone, true), S::PageUnhandled, C::None, true},
    {"F11 repeating", Key(Qt::Key_F11, kNone, true), S::PageUnhandled, C::None, true},
    {"CtrlTab repeating", Key(Qt::Key_Tab, kCtrl, true), S::PageBefore, C::NextTab, true},
    {"CtrlPlus repeating", Key(Qt::Key_Plus, kCtrlShift, true), S::PageUnhandled, C::ZoomIn, true},
    {"Enter repeating in the bar", Key(Qt::Key_Return, kNone, true), S::FindBar, C::FindNext, true},
};

class KeyRoutingTable : public testing::TestWithParam<TRouteCase>
{
};

TEST_P(KeyRoutingTable, RoutesTheKey)
{
    const TRouteCase& c = GetParam();
    const TKeyRoute route = KeyRouting::Route(c.Pressed, c.Source, TKeyState{});
    EXPECT_EQ(route.Command, c.Command);
    EXPECT_EQ(route.Taken, c.Taken);
    EXPECT_EQ(route.Tab, c.Tab);
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyRoutingTable, testing::ValuesIn(kRoutes),
                         [](const testing::TestParamInfo<TRouteCase>& param) {
                             std::string name = param.param.Name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST(KeyRouting, NoKeyWorksWhileTheProgramEndsOrADialogIsUp)
{
    for (const TKeyState state : {TKeyState{true, false}, TKeyState{false, true}}) {
        for (const TRouteCase& c : kRoutes) {
            const TKeyRoute route = KeyRouting::Route(c.Pressed, c.Source, state);
            EXPECT_EQ(route.Command, C::None) << c.Name;
            EXPECT_FALSE(route.Taken) << c.Name;
        }
    }
}

// ---- tab cycling ---------------------------------------------------------------

struct TCycleCase
{
    const char* Name;
    std::vector<bool> Visible;
    int Active;
    int Next;
    int Previous;
};

TEST(TabCycle, NextAndPreviousWrapAndSkipHiddenPages)
{
    // Page 0 and the placeholder never show; a waiting popup hides too.
    const TCycleCase cases[] = {
        {"one tab stays", {false, true, false}, 1, 1, 1},
        {"two tabs", {false, true, true, false}, 1, 2, 2},
        {"wraps forward", {false, true, true, true, false}, 3, 1, 2},
        {"wraps backward", {false, true, true, true, false}, 1, 2, 3},
        {"skips hidden", {false, true, false, true, false}, 1, 3, 3},
        {"from a hidden page", {false, true, true, false}, 0, 1, 2},
        {"active out of range", {false, true, true, false}, 9, 1, 2},
        {"none visible", {false, false}, 0, -1, -1},
        {"no pages", {}, -1, -1, -1},
    };
    for (const TCycleCase& c : cases) {
        EXPECT_EQ(TabCycle::Next(c.Visible, c.Active, 1), c.Next) << c.Name;
        EXPECT_EQ(TabCycle::Next(c.Visible, c.Active, -1), c.Previous) << c.Name;
    }
}

TEST(TabCycle, NumberedTabsCountOnlyVisibleOnesAndNineIsTheLast)
{
    const std::vector<bool> visible = {false, true, false, true, true, false};
    EXPECT_EQ(TabCycle::Nth(visible, 1), 1);
    EXPECT_EQ(TabCycle::Nth(visible, 2), 3);
    EXPECT_EQ(TabCycle::Nth(visible, 3), 4);
    EXPECT_EQ(TabCycle::Nth(visible, 4), -1);
    EXPECT_EQ(TabCycle::Nth(visible, 0), -1);
    EXPECT_EQ(TabCycle::Last(visible), 4);
    EXPECT_EQ(TabCycle::Last({false, false}), -1);
}

// ---- zoom steps and storage ------------------------------------------------------

TEST(ZoomSteps, WalkTheBrowserStepsAndStopAtTheEnds)
{
    const std::vector<int> steps = {25, 33, 50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400, 500};
    std::vector<int> up = {25};
    while (up.back() != ZoomSteps::Maximum && up.size() < 40)
        up.push_back(ZoomSteps::In(up.back()));
    EXPECT_EQ(up, steps);
    std::vector<int> down = {500};
    while (down.back() != ZoomSteps::Minimum && down.size() < 40)
        down.push_back(ZoomSteps::Out(down.back()));
    EXPECT_EQ(down, std::vector<int>(steps.rbegin(), steps.rend()));
    EXPECT_EQ(ZoomSteps::In(500), 500);
    EXPECT_EQ(ZoomSteps::Out(25), 25);
    // Between steps (a level Ctrl+wheel left elsewhere): the neighbours.
    EXPECT_EQ(ZoomSteps::In(105), 110);
    EXPECT_EQ(ZoomSteps::Out(105), 100);
    EXPECT_EQ(ZoomSteps::In(-7), 25);
    EXPECT_EQ(ZoomSteps::Out(9000), 500);
}

TEST(ZoomStore, StoredValuesAreReadLenientlyAndBadOnesAre100)
{
    const struct
    {
        const char* Stored;
        int Level;
    } cases[] = {
        {"125", 125}, {" 150 ", 150}, {"25", 25},     {"500", 500},   {"0x7D", 125},  {"24", 100},
        {"501", 100}, {"0", 100},     {"-125", 100},  {"abc", 100},   {"", 100},      {"125%", 100},
        {"1.25", 100}, {"1e3", 100},  {"99999999999999999999", 100},
    };
    TScratchDir dir;
    const QString path = dir.File(QStringLiteral("config.ini"));
    for (const auto& c : cases) {
        WriteBytes(path, QByteArray("[WIN]\nSTATE=2\n[ZOOM]\nexample.com=") + c.Stored + "\n");
        TZoomStore store(path);
        EXPECT_EQ(store.Level(QStringLiteral("example.com")), c.Level) << c.Stored;
        EXPECT_EQ(store.Level(QStringLiteral("other.com")), 100) << c.Stored;
    }
}

TEST(ZoomStore, HostsAreTheAsciiLowerCaseNameAndAddressesWithoutOneAreNotStored)
{
    EXPECT_EQ(TZoomStore::HostOf(QStringLiteral("http://Example.COM:8080/a?b")), QStringLiteral("example.com"));
    EXPECT_EQ(TZoomStore::HostOf(QStringLiteral("https://127.0.0.1:8765/")), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(TZoomStore::HostOf(QStringLiteral("http://中文.com/")), QStringLiteral("xn--fiq228c.com"));
    for (const char* none : {"about:blank", "data:text/html,x", "file:///tmp/a.html", "", "not a url"})
        EXPECT_TRUE(TZoomStore::HostOf(QString::fromUtf8(none)).isEmpty()) << none;

    TScratchDir dir;
    const QString path = dir.File(QStringLiteral("config.ini"));
    TZoomStore store(path);
    store.SetLevel(QString(), 150);
    EXPECT_FALSE(QFile::exists(path));
}

TEST(ZoomStore, ThousandsOfHostsKeepTheirLevelsAndTheRestOfTheFile)
{
    TScratchDir dir;
    const QString path = dir.File(QStringLiteral("config.ini"));
    QByteArray text = "[SYSTEM]\r\nHANDLE=42\r\n[ZOOM]\r\n";
    for (int i = 0; i < 3000; ++i)
        text += QByteArray("host") + QByteArray::number(i) + ".example=" + (i % 2 ? "150" : "oops") + "\r\n";
    text += "[WIN]\r\nSTATE=0\r\n";
    WriteBytes(path, text);

    TZoomStore store(path);
    EXPECT_EQ(store.Level(QStringLiteral("host2999.example")), 150);
    EXPECT_EQ(store.Level(QStringLiteral("host2998.example")), 100);
    store.SetLevel(QStringLiteral("host2998.example"), 175);
    store.SetLevel(QStringLiteral("new.example"), 33);
    store.SetLevel(QStringLiteral("wild.example"), 4000); // out of range: stored as 100

    TZoomStore again(path); // a restart
    EXPECT_EQ(again.Level(QStringLiteral("host2998.example")), 175);
    EXPECT_EQ(again.Level(QStringLiteral("new.example")), 33);
    EXPECT_EQ(again.Level(QStringLiteral("wild.example")), 100);
    EXPECT_EQ(again.Level(QStringLiteral("host1.example")), 150);
    const TIniFile ini(path);
    EXPECT_EQ(ini.ReadString(QStringLiteral("SYSTEM"), QStringLiteral("HANDLE"), {}), QStringLiteral("42"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("WIN"), QStringLiteral("STATE"), {}), QStringLiteral("0"));
    EXPECT_TRUE(ReadBytes(path).startsWith(text.left(text.indexOf("host2998"))));
}

TEST(ZoomStore, AnUnwritableFileRaisesButTheLevelHoldsForTheRun)
{
    TScratchDir dir;
    const QString path = dir.File(QStringLiteral("config.ini"));
    ASSERT_TRUE(QDir().mkpath(path)); // a folder where the file should be
    TZoomStore store(path);
    EXPECT_THROW(store.SetLevel(QStringLiteral("example.com"), 150), EAppError);
    EXPECT_EQ(store.Level(QStringLiteral("example.com")), 150);
}

// ---- the window: keys, find, zoom and full screen with the fake engine -----------

class FormMainKeys : public FormFixture
{
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        StartForm();
    }
    // Opens count popups from the first tab, each titled "子页面 n".
    void OpenPopups(int count)
    {
        for (int i = 0; i < count; ++i) {
            TPopupRequest request;
            request.TargetUrl = QUrl(QStringLiteral("http://service/child"));
            request.UserGesture = true;
            ASSERT_NE(ViewOn(1)->RaisePopup(request), nullptr);
        }
        Pump();
        for (int i = 0; i < count; ++i)
            ViewOn(2 + i)->RaiseTitle(QStringLiteral("子页面 %1").arg(i + 1));
    }
    // A key pressed in the active tab's page; true when the shell took it.
    bool PagePress(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, bool repeat = false,
                   bool pageTakes = false)
    {
        const bool taken = ViewOn(Pages().ActivePageIndex())->RaiseKey({key, modifiers, repeat}, pageTakes);
        Pump();
        return taken;
    }
    // A key typed into the find bar's text box, as the toolkit delivers it.
    void BarPress(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
    {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(FForm->Find().Bar().Edit(), &event);
        Pump();
    }
    void BarType(const QString& text)
    {
        for (const QChar ch : text)
            BarPress(0, Qt::NoModifier, QString(ch));
    }
    QString Caption() { return FForm->windowTitle(); }
};

TEST_F(FormMainKeys, CtrlWClosesTheActiveTabOnceAndNeverTheFirst)
{
    OpenPopups(50);
    ASSERT_EQ(Pages().PageCount(), 53);
    Pages().SetActivePageIndex(10);
    EXPECT_TRUE(PagePress(Qt::Key_W, Qt::ControlModifier));
    EXPECT_EQ(Pages().PageCount(), 52);
    // Held down: the repeats close nothing more.
    for (int i = 0; i < 60; ++i)
        EXPECT_TRUE(PagePress(Qt::Key_W, Qt::ControlModifier, true));
    EXPECT_EQ(Pages().PageCount(), 52);
    // Pressed again and again: down to the first tab, which stays.
    for (int i = 0; i < 60; ++i)
        PagePress(Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(Pages().PageCount(), 3);
    EXPECT_EQ(Pages().ActivePageIndex(), 1);
    EXPECT_TRUE(FForm->isVisible());
}

// A popup that closes itself while a close is on its way moves the tabs
// after it; the close still meets the tab it was meant for.
TEST_F(FormMainKeys, ACloseOnItsWayMeetsItsTabAfterOthersMoved)
{
    OpenPopups(4);
    ASSERT_EQ(Pages().PageCount(), 7);
    FForm->Registry().Activate(4); // "子页面 3"
    ViewOn(2)->RaiseClose();      // "子页面 1" closes itself, before the key is handled
    EXPECT_TRUE(PagePress(Qt::Key_W, Qt::ControlModifier));
    ASSERT_EQ(Pages().PageCount(), 5);
    EXPECT_EQ(FForm->Registry().Caption(2), QStringLiteral("子页面 2"));
    EXPECT_EQ(FForm->Registry().Caption(3), QStringLiteral("子页面 4"));
}

TEST_F(FormMainKeys, TabKeysMoveAlongVisibleTabsAndTheCaptionFollows)
{
    OpenPopups(3);
    Pages().SetActivePageIndex(1);
    const QString suffix = QStringLiteral(" - Velmar房产ERP 1.0.0.2");
    const struct
    {
        int Key;
        Qt::KeyboardModifiers Modifiers;
        int Active;
    } steps[] = {
        {Qt::Key_Tab, Qt::ControlModifier, 2},
        {Qt::Key_PageDown, Qt::ControlModifier, 3},
        {Qt::Key_Tab, Qt::ControlModifier, 4},
        {Qt::Key_Tab, Qt::ControlModifier, 1}, // wraps past the placeholder
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 4},
        {Qt::Key_PageUp, Qt::ControlModifier, 3},
        {Qt::Key_1, Qt::ControlModifier, 1},
        {Qt::Key_3, Qt::ControlModifier, 3},
        {Qt::Key_8, Qt::ControlModifier, 3}, // no eighth tab
        {Qt::Key_9, Qt::ControlModifier, 4},
    };
    for (const auto& step : steps) {
        EXPECT_TRUE(PagePress(step.Key, step.Modifiers));
        EXPECT_EQ(Pages().ActivePageIndex(), step.Active) << step.Key;
    }
    EXPECT_EQ(Caption(), QStringLiteral("子页面 3") + suffix);

    // A popup still waiting for its tab is skipped.
    TPopupRequest request;
    request.TargetUrl = QUrl(QStringLiteral("http://service/later"));
    ViewOn(1)->RaisePopup(request); // its tab follows through the queue
    ViewOn(4)->RaiseKey({Qt::Key_Tab, Qt::ControlModifier, false});
    EXPECT_EQ(Pages().ActivePageIndex(), 1);
}

TEST_F(FormMainKeys, PageKeysActOnlyOnWhatThePageLeaves)
{
    TFakeChromium* page = ViewOn(1);
    EXPECT_FALSE(PagePress(Qt::Key_F5));
    EXPECT_EQ(page->ReloadCount, 1);
    EXPECT_FALSE(PagePress(Qt::Key_F5, Qt::NoModifier, false, true)); // the page keeps its F5
    EXPECT_EQ(page->ReloadCount, 1);
    PagePress(Qt::Key_R, Qt::ControlModifier);
    PagePress(Qt::Key_F5, Qt::ShiftModifier);
    PagePress(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    PagePress(Qt::Key_Left, Qt::AltModifier);
    PagePress(Qt::Key_Right, Qt::AltModifier);
    const int stops = page->StopCount;
    PagePress(Qt::Key_Escape);
    EXPECT_EQ(page->ReloadCount, 2);
    EXPECT_EQ(page->HardReloadCount, 2);
    EXPECT_EQ(page->BackCount, 1);
    EXPECT_EQ(page->ForwardCount, 1);
    EXPECT_EQ(page->StopCount, stops + 1);
}

TEST_F(FormMainKeys, NoKeyWorksWhileTheProgramEnds)
{
    OpenPopups(2);
    FForm->FClosing = true;
    TFakeChromium* page = ViewOn(Pages().ActivePageIndex());
    const int pages = Pages().PageCount();
    const int active = Pages().ActivePageIndex();
    for (const TRouteCase& c : kRoutes)
        page->RaiseKey(c.Pressed);
    Pump();
    EXPECT_EQ(Pages().PageCount(), pages);
    EXPECT_EQ(Pages().ActivePageIndex(), active);
    EXPECT_EQ(page->ReloadCount + page->HardReloadCount + page->BackCount + page->ForwardCount, 0);
    EXPECT_TRUE(page->Finds.empty());
    EXPECT_TRUE(FForm->Find().Bar().isHidden());
    FForm->FClosing = false; // let the window close normally
}

TEST_F(FormMainKeys, FindBarFindsAsYouTypeStepsAndClosesPerTab)
{
    OpenPopups(1);
    Pages().SetActivePageIndex(1);
    FForm->activateWindow();
    TFakeChromium* first = ViewOn(1);
    TFindBar& bar = FForm->Find().Bar();
    EXPECT_FALSE(PagePress(Qt::Key_F, Qt::ControlModifier, false, true)); // the page keeps its Ctrl+F
    EXPECT_TRUE(bar.isHidden());
    PagePress(Qt::Key_F, Qt::ControlModifier);
    ASSERT_FALSE(bar.isHidden());
    EXPECT_GE(bar.geometry().top(), TPageControl::TabHeight); // under the strip
    EXPECT_EQ(Pages().ContentArea()->geometry().top(), bar.geometry().bottom() + 1);

    BarType(QStringLiteral("ab"));
    ASSERT_EQ(first->Finds.size(), 2u);
    EXPECT_EQ(first->Finds[1].Text, QStringLiteral("ab"));
    EXPECT_FALSE(first->Finds[1].Backward);
    first->RaiseFindResult(1, 2);
    EXPECT_EQ(bar.ResultText(), QStringLiteral("1/2"));
    BarPress(Qt::Key_Return);
    BarPress(Qt::Key_Return, Qt::ShiftModifier);
    PagePress(Qt::Key_F3);
    PagePress(Qt::Key_F3, Qt::ShiftModifier);
    ASSERT_EQ(first->Finds.size(), 6u);
    const bool backward[] = {false, true, false, true};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(first->Finds[2 + i].Text, QStringLiteral("ab"));
        EXPECT_EQ(first->Finds[2 + i].Backward, backward[i]) << i;
    }
    first->RaiseFindResult(2, 2);
    EXPECT_EQ(bar.ResultText(), QStringLiteral("2/2"));
    first->RaiseFindResult(0, 0);
    EXPECT_EQ(bar.ResultText(), QStringLiteral("无结果"));
    first->RaiseFindResult(1, 2);

    // Another tab has a search of its own; coming back shows this one again.
    PagePress(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_TRUE(bar.isHidden());
    TFakeChromium* second = ViewOn(2);
    PagePress(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(bar.Text().isEmpty());
    BarType(QStringLiteral("紫藤苑"));
    second->RaiseFindResult(0, 0);
    first->RaiseFindResult(2, 2); // a late answer of the other tab changes nothing shown
    EXPECT_EQ(bar.ResultText(), QStringLiteral("无结果"));
    PagePress(Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_FALSE(bar.isHidden());
    EXPECT_EQ(bar.Text(), QStringLiteral("ab"));
    EXPECT_EQ(bar.ResultText(), QStringLiteral("2/2"));

    // Ctrl+F again: the earlier text, selected. Esc closes and clears.
    PagePress(Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(bar.Edit()->selectedText(), QStringLiteral("ab"));
    BarPress(Qt::Key_Escape);
    EXPECT_TRUE(bar.isHidden());
    EXPECT_TRUE(first->Finds.back().Text.isEmpty());
    EXPECT_EQ(Pages().ContentArea()->geometry().top(), TPageControl::TabHeight);
    const auto finds = first->Finds.size();
    PagePress(Qt::Key_Escape); // in the page: stops the load, finds nothing
    EXPECT_EQ(first->Finds.size(), finds);
}

TEST_F(FormMainKeys, OddFindTextsGoToTheEngineAsTheyAre)
{
    TFakeChromium* page = ViewOn(1);
    PagePress(Qt::Key_F, Qt::ControlModifier);
    const QString texts[] = {QString(10000, QLatin1Char('x')), QStringLiteral("   "), QStringLiteral("紫藤苑 二期")};
    for (const QString& text : texts) {
        FForm->Find().Bar().Edit()->clear();
        FForm->Find().Bar().Edit()->insert(text); // as pasted: reported as typed
        Pump();
        ASSERT_FALSE(page->Finds.empty());
        EXPECT_EQ(page->Finds.back().Text, text);
        page->RaiseFindResult(0, 0);
        EXPECT_EQ(FForm->Find().Bar().ResultText(), QStringLiteral("无结果"));
    }
    FForm->Find().Bar().Edit()->clear();
    FForm->Find().Bar().Edit()->insert(QString());
    BarPress(Qt::Key_Backspace);
    EXPECT_TRUE(FForm->Find().Bar().ResultText().isEmpty());
}

TEST_F(FormMainKeys, ZoomStepsPerHostAreStoredAndComeBackAfterARestart)
{
    const QString config = FData.File(QStringLiteral("config.ini"));
    OpenPopups(2);
    ViewOn(1)->RaiseUrl(QStringLiteral("http://erp.example/a"));
    ViewOn(2)->RaiseUrl(QStringLiteral("http://ERP.example:81/b"));
    ViewOn(3)->RaiseUrl(QStringLiteral("http://other.example/"));
    Pages().SetActivePageIndex(1);
    EXPECT_FALSE(PagePress(Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier));
    PagePress(Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(ViewOn(1)->ZoomFactor(), 1.25);
    EXPECT_DOUBLE_EQ(ViewOn(2)->ZoomFactor(), 1.25); // the same host in another tab
    EXPECT_DOUBLE_EQ(ViewOn(3)->ZoomFactor(), 1.0);
    EXPECT_EQ(TIniFile(config).ReadString(QStringLiteral("ZOOM"), QStringLiteral("erp.example"), {}),
              QStringLiteral("125"));
    EXPECT_FALSE(FForm->Zoom().Indicator().isHidden());
    EXPECT_EQ(FForm->Zoom().Indicator().Text(), QStringLiteral("缩放：125%"));

    ViewOn(3)->RaiseZoomWheel(-2); // Ctrl+wheel towards the user, two notches
    EXPECT_DOUBLE_EQ(ViewOn(3)->ZoomFactor(), 0.8);
    Pages().SetActivePageIndex(3);
    for (int i = 0; i < 30; ++i)
        PagePress(Qt::Key_Minus, Qt::ControlModifier, true);
    EXPECT_DOUBLE_EQ(ViewOn(3)->ZoomFactor(), 0.25);
    PagePress(Qt::Key_0, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(ViewOn(3)->ZoomFactor(), 1.0);

    // A page of the host opened later, and the next start, get the level.
    ViewOn(3)->RaiseUrl(QStringLiteral("http://erp.example/c"));
    EXPECT_DOUBLE_EQ(ViewOn(3)->ZoomFactor(), 1.25);
    StartForm();
    ViewOn(1)->RaiseUrl(QStringLiteral("http://erp.example/a"));
    EXPECT_DOUBLE_EQ(ViewOn(1)->ZoomFactor(), 1.25);
    ViewOn(1)->RaiseUrl(QStringLiteral("about:blank"));
    EXPECT_DOUBLE_EQ(ViewOn(1)->ZoomFactor(), 1.25); // no host: the page's level stays
}


} // namespace

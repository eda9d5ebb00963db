#include "app/Global.h"
#include "shell/AppMessageBox.h"
#include "shell/Main.h"
#include "shell/PageControl.h"
#include "shell/ShellMessages.h"
#include "shell/TabCaption.h"

#include "FakeBrowserEngine.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QPainter>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class TabRegistry : public testing::Test
{
protected:
    void SetUp() override
    {
        gAppDir = FProgram.Path();
        gDataDir = FProgram.Path();
        SetMessageBoxHook([](const QString&, const QString&, int) { return IDNO; });
        FForm = std::make_unique<TFormMain>(FEngine);
        FForm->show();
        FForm->showNormal();
        FForm->resize(1000, 700);
        Pump();
    }
    void TearDown() override
    {
        FForm.reset();
        SetMessageBoxHook(nullptr);
    }

    static void Pump()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    TPageControl& Pages() { return *FForm->PageControl1; }
    TTabPage* Page(int index) { return Pages().Page(index); }
    TFakeChromium* ViewOn(int index)
    {
        for (auto& view : FEngine.Views)
            if (view && Page(index) && view->parentWidget() == Page(index))
                return view;
        return nullptr;
    }
    // The window's own login task opens the first tab.
    void Login()
    {
        ASSERT_TRUE(WaitUntil([this] { return Pages().PageCount() == 3; }, 20000));
        Pump();
    }
    TChromium* Popup(int fromIndex, bool background = false)
    {
        TPopupRequest request;
        request.TargetUrl = QUrl(QStringLiteral("http://service/child"));
        request.Disposition =
            background ? TWindowDisposition::NewBackgroundTab : TWindowDisposition::NewForegroundTab;
        return ViewOn(fromIndex)->RaisePopup(request);
    }
    QStringList VisibleCaptions()
    {
        QStringList captions;
        for (int i = 0; i < Pages().PageCount(); ++i)
            if (Page(i)->TabVisible)
                captions << Page(i)->Caption;
        return captions;
    }
    void PaintStrip()
    {
        QPixmap target(Pages().size());
        Pages().render(&target);
    }

    TScratchDir FProgram;
    TScratchDir FRuntime;
    TEnvGuard FRuntimeEnv{"XDG_RUNTIME_DIR", FRuntime.Path().toLocal8Bit()};
    TFakeBrowserEngine FEngine;
    std::unique_ptr<TFormMain> FForm;
};

TEST_F(TabRegistry, LoginTabThenPopupsGetIdsAndPlaceholders)
{
    if (Pages().PageCount() == 2) { // the login task may not have finished yet
        EXPECT_EQ(Pages().ActivePageIndex(), 1);
        EXPECT_FALSE(Page(0)->TabVisible);
        EXPECT_EQ(FForm->FindTab(1)->Sheet, Page(0)); // page 0's record until the login tab opens
        EXPECT_EQ(FForm->crmBeforePopup(FForm->crm, {}), nullptr); // no placeholder yet: no popup
    }

    Login();
    ASSERT_EQ(Pages().PageCount(), 3);
    EXPECT_EQ(Page(1)->Caption, QStringLiteral("Velmar房产ERP"));
    EXPECT_EQ(ViewOn(1)->Loads, QStringList{FForm->FLoginUrl});
    EXPECT_TRUE(FForm->FLoginUrl.startsWith(QStringLiteral("http://") + ServiceHost() + QStringLiteral("/?ComputerName=")));
    EXPECT_EQ(FForm->FindTab(1)->Sheet, Page(1)); // the record added last wins
    EXPECT_FALSE(Page(2)->TabVisible);
    EXPECT_EQ(Page(2)->Tag, 2);
    EXPECT_EQ(FForm->FNextTabId, 2);
    EXPECT_EQ(FForm->FPlaceholderWnd, Page(2));

    TChromium* popup = Popup(1);
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->IsPopup());
    Pump();
    EXPECT_EQ(Pages().PageCount(), 4);
    EXPECT_TRUE(Page(2)->TabVisible);
    EXPECT_EQ(Pages().ActivePageIndex(), 2);
    EXPECT_EQ(FForm->FindTab(2)->Browser, popup);
    EXPECT_EQ(Page(3)->Tag, 3);

    Popup(2, true); // Ctrl+click: a background tab
    Pump();
    EXPECT_EQ(Pages().ActivePageIndex(), 2);
    EXPECT_TRUE(Page(3)->TabVisible);

    // A burst: every popup gets its own tab, in order, none lost or doubled.
    std::vector<TChromium*> burst;
    for (int i = 0; i < 20; ++i)
        burst.push_back(Popup(1));
    Pump();
    ASSERT_EQ(Pages().PageCount(), 4 + 1 + 20);
    for (int i = 0; i < 20; ++i) {
        TTabPage* page = Page(4 + i);
        EXPECT_TRUE(page->TabVisible) << i;
        EXPECT_EQ(FForm->FindTab(page->Tag)->Browser, burst[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(page->Tag, 4 + i) << i;
    }
    EXPECT_FALSE(Page(Pages().PageCount() - 1)->TabVisible);
}

TEST_F(TabRegistry, BlankAddressesOpenAboutBlankAndOthersStayAsGiven)
{
    Login();
    FForm->OpenAddressTab(QStringLiteral("  \t "));
    EXPECT_EQ(ViewOn(2)->Loads, QStringList{QStringLiteral("about:blank")});
    FForm->OpenAddressTab(QStringLiteral(" http://service/a "));
    EXPECT_EQ(ViewOn(3)->Loads, QStringList{QStringLiteral(" http://service/a ")});
}

TEST_F(TabRegistry, ClosingPicksTheNextTabOrTheOneBeforeTheLast)
{
    Login();
    for (int i = 0; i < 4; ++i)
        Popup(1);
    Pump();
    ASSERT_EQ(Pages().PageCount(), 7); // tabs at pages 1..5, placeholder 6
    const int tagOf3 = Page(3)->Tag;
    const int tagOf4 = Page(4)->Tag;

    Pages().SetActivePageIndex(2);
    FForm->CloseTab(3); // not the active one: the tab that takes its index becomes active
    EXPECT_EQ(Pages().ActivePageIndex(), 3);
    EXPECT_EQ(Page(3)->Tag, tagOf4);
    EXPECT_EQ(FForm->FindTab(tagOf3), nullptr);

    FForm->CloseTab(4); // the last tab: the one before it
    EXPECT_EQ(Pages().ActivePageIndex(), 3);
    EXPECT_EQ(Pages().PageCount(), 5);

    for (const int refused : {0, 1, 4, 99, -1}) // page 0, first tab, placeholder, out of range
        FForm->CloseTab(refused);
    EXPECT_EQ(Pages().PageCount(), 5);
    EXPECT_EQ(FForm->windowTitle(), Page(3)->Caption + QStringLiteral(" - Velmar房产ERP 1.0.0.2"));
}

TEST_F(TabRegistry, TabWidthShrinksEvenlyOnceTabsNoLongerFit)
{
    Login();
    EXPECT_EQ(Pages().TabWidth(), 178);
    for (int i = 0; i < 6; ++i)
        Popup(1);
    Pump();
    ASSERT_EQ(Pages().PageCount() - 2, 7);
    ASSERT_EQ(Pages().width(), 1000);
    EXPECT_EQ(Pages().TabWidth(), 130); // (1000 - 90) / 7
}

TEST_F(TabRegistry, TitlesBecomeCaptionsAndLoadingIsTracked)
{
    Login();
    Popup(1);
    Pump();
    TFakeChromium* first = ViewOn(1);
    TFakeChromium* second = ViewOn(2);
    first->RaiseTitle(QStringLiteral("Login page"));
    EXPECT_EQ(Page(1)->Caption, QStringLiteral("Velmar房产ERP")); // the first tab keeps the title
    second->RaiseTitle(QStringLiteral("  子页面 1  "));
    EXPECT_EQ(Page(2)->Caption, QStringLiteral("  子页面 1  "));
    for (const char* ignored : {"about:blank", " about:blank ", "   ", ""})
        second->RaiseTitle(QString::fromUtf8(ignored));
    EXPECT_EQ(Page(2)->Caption, QStringLiteral("  子页面 1  "));
    second->RaiseTitle(QString(100000, QLatin1Char('x')));
    PaintStrip(); // a huge title is cut, not a problem

    second->RaiseLoading(true);
    first->RaiseLoading(true);
    EXPECT_EQ(FForm->FLoadingPages, (QList<int>{2, 1}));
    EXPECT_TRUE(FForm->TimerRefreshTab->isActive());
    FForm->TimerRefreshTabTimer();
    EXPECT_TRUE(FForm->TimerRefreshTab->isActive()); // more than one entry keeps it going
    first->RaiseLoading(false);
    FForm->TimerRefreshTabTimer();
    EXPECT_FALSE(FForm->TimerRefreshTab->isActive()); // one entry left: it stops

    FForm->crm->OnLoadingStateChange(FForm->crm, true, false, false); // the design-time view changes nothing
    EXPECT_EQ(FForm->FLoadingPages, QList<int>{2});

    Popup(1); // closing tab 2 leaves the stale entry of the page that moved
    Pump();
    ViewOn(3)->RaiseLoading(true);
    FForm->CloseTab(2);
    EXPECT_EQ(FForm->FLoadingPages, QList<int>{3});
}

TEST_F(TabRegistry, PopupTitledBeforeItsTabKeepsOneLiveRecord)
{
    Login();
    auto* popup = static_cast<TFakeChromium*>(Popup(1));
    popup->RaiseTitle(QStringLiteral("早到的标题")); // before WM_SHELL_POPUP_TAB is handled
    TTabPage* page = Page(2);
    EXPECT_EQ(page->Caption, QStringLiteral("早到的标题"));
    Pump();
    EXPECT_EQ(page->Caption, QStringLiteral("Velmar房产ERP"));
    const int id = page->Tag;
    TBrowserTab* registered = FForm->FindTab(id);
    EXPECT_EQ(registered->Window, popup);
    FForm->CloseTab(2);
    EXPECT_EQ(FForm->FindTab(id), nullptr); // neither record is left behind
}

TEST_F(TabRegistry, PageCloseEventSwitchesHandlersOffAndHides)
{
    Login();
    Popup(1);
    Pump();
    ViewOn(2)->RaiseClose();
    Pump();
    EXPECT_TRUE(FForm->FClosing);
    EXPECT_FALSE(FForm->FConfirmExit);
    EXPECT_TRUE(FForm->isHidden() || FForm->isMinimized());
    ViewOn(2)->RaiseTitle(QStringLiteral("ignored"));
    EXPECT_EQ(Page(2)->Caption, QStringLiteral("Velmar房产ERP"));
    EXPECT_EQ(Popup(1), nullptr);
    // The language header still goes on every request.
    EXPECT_EQ(ViewOn(1)->RaiseBeforeResourceLoad(QUrl(QStringLiteral("http://service/x"))).Value("accept-language"),
              QByteArray("zh-CN"));
}

TEST_F(TabRegistry, DrawingRecordsHitRectanglesAndAnimates)
{
    Login();
    Popup(1);
    Pump();
    Page(2)->Caption.clear();
    PaintStrip();
    EXPECT_EQ(Page(2)->Caption, QStringLiteral("新页面"));

    const int y = (29 - QFontMetrics(Pages().font()).height()) / 2 + 2;
    const TTabSlot& first = FForm->FTabSlots[1];
    const TTabSlot& second = FForm->FTabSlots[2];
    EXPECT_EQ(first.CloseRect.Left, 178 - 19);
    EXPECT_EQ(second.CloseRect.Left, 178 + 178 - 19);
    EXPECT_EQ(second.CloseRect.Top, y);
    EXPECT_EQ(second.CloseRect.Right - second.CloseRect.Left, 12);
    EXPECT_EQ(second.TabRect.Left, 178);
    EXPECT_EQ(second.TabRect.Right, 356);

    TBrowserTab* tab = FForm->FindTab(Page(2)->Tag);
    tab->Loaded = false;
    tab->Frame = 13;
    PaintStrip();
    EXPECT_EQ(tab->Frame, 14);
    PaintStrip();
    EXPECT_EQ(tab->Frame, 0);
}

TEST_F(TabRegistry, GesturesPostCloseAndNeverForTheFirstTab)
{
    Login();
    for (int i = 0; i < 3; ++i)
        Popup(1);
    Pump();
    PaintStrip();
    ASSERT_EQ(Pages().PageCount(), 6); // tabs 1..4, placeholder 5

    // Middle release over a tab that is not active closes it.
    Pages().SetActivePageIndex(2);
    const TRect third = FForm->FTabSlots[3].TabRect;
    FForm->PageControl1MouseUp(Qt::MiddleButton, QPoint(third.Left + 5, 5));
    Pump();
    EXPECT_EQ(Pages().PageCount(), 5);
    FForm->PageControl1MouseUp(Qt::MiddleButton, QPoint(5, 5)); // the first tab stays
    Pump();
    EXPECT_EQ(Pages().PageCount(), 5);

    // Left release: only on the active tab's close button.
    PaintStrip();
    const int active = Pages().ActivePageIndex();
    const TRect close = FForm->FTabSlots[static_cast<size_t>(active)].CloseRect;
    FForm->PageControl1MouseUp(Qt::LeftButton, QPoint(close.Left - 3, close.Top + 1));
    Pump();
    EXPECT_EQ(Pages().PageCount(), 5);
    FForm->PageControl1MouseUp(Qt::LeftButton, QPoint(close.Left + 1, close.Top + 1));
    Pump();
    EXPECT_EQ(Pages().PageCount(), 4);

    // Double press: a quick second left press closes the active tab; the
    // press time is not renewed, so further quick presses close again, but
    // never the first tab.
    Popup(1);
    Popup(1);
    Pump();
    ASSERT_EQ(Pages().PageCount(), 6);
    Pages().SetActivePageIndex(2);
    FForm->PageControl1MouseDown(Qt::RightButton, {});
    FForm->PageControl1MouseDown(Qt::LeftButton, {});
    Pump();
    EXPECT_EQ(Pages().PageCount(), 5);
    FForm->PageControl1MouseDown(Qt::LeftButton, {});
    Pump();
    FForm->PageControl1MouseDown(Qt::LeftButton, {});
    Pump();
    EXPECT_EQ(Pages().PageCount(), 3);
    EXPECT_EQ(Pages().ActivePageIndex(), 1);
    FForm->PageControl1MouseDown(Qt::LeftButton, {});
    Pump();
    EXPECT_EQ(Pages().PageCount(), 3);

    // Presses 300 ms or more apart only select.
    Popup(1);
    Pump();
    QThread::msleep(320);
    FForm->PageControl1MouseDown(Qt::LeftButton, {});
    QThread::msleep(320);
    FForm->PageControl1MouseDown(Qt::LeftButton, {});
    Pump();
    EXPECT_EQ(Pages().PageCount(), 4);
}

TEST_F(TabRegistry, HoverRepaintsOnlyOnEnteringAndLeaving)
{
    Login();
    Popup(1);
    Pump();
    PaintStrip();
    const TRect close = FForm->FTabSlots[2].CloseRect;
    FForm->PageControl1MouseMove(QPoint(close.Left - 20, close.Top));
    EXPECT_TRUE(FForm->FTabSlots[2].PointerAway);
    FForm->PageControl1MouseMove(QPoint(close.Left, close.Top));
    EXPECT_FALSE(FForm->FTabSlots[2].PointerAway);
    EXPECT_EQ(FForm->FLastMousePos, QPoint(close.Left, close.Top));
    FForm->PageControl1MouseMove(QPoint(close.Right, close.Top)); // right edge is outside
    EXPECT_TRUE(FForm->FTabSlots[2].PointerAway);
}

TEST_F(TabRegistry, MoreTabsThanSlotsStayWithinTheTable)
{
    Login();
    while (Pages().PageCount() < TFormMain::TabSlotCount + 40)
        FForm->OpenAddressTab(QStringLiteral("http://service/many"));
    Pages().SetActivePageIndex(Pages().PageCount() - 2);
    PaintStrip();
    FForm->PageControl1MouseMove(QPoint(5, 5));
    FForm->PageControl1MouseUp(Qt::MiddleButton, QPoint(5, 5));
    FForm->PageControl1MouseDown(Qt::LeftButton, {});
    FForm->PageControl1MouseDown(Qt::LeftButton, {}); // closes the active tab, past the table
    Pump();
    EXPECT_EQ(Pages().PageCount(), TFormMain::TabSlotCount + 39);
    ViewOn(Pages().PageCount() - 2)->RaiseLoading(true);
    FForm->CloseTab(Pages().PageCount() - 2);
    EXPECT_EQ(Pages().PageCount(), TFormMain::TabSlotCount + 38);
}

TEST(TabCaption, CutsCharactersWithoutEllipsis)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(14);
    const QFontMetrics metrics(font);
    EXPECT_EQ(ShortenTabCaption(QStringLiteral("  short  "), metrics, 159), QStringLiteral("short"));
    const QString longCaption(200, QLatin1Char('W'));
    const QString cut = ShortenTabCaption(longCaption, metrics, 159);
    EXPECT_LE(metrics.horizontalAdvance(cut) + 25, 159);
    EXPECT_GT(metrics.horizontalAdvance(cut + QLatin1Char('W')) + 25, 159);
    EXPECT_TRUE(longCaption.startsWith(cut));
    EXPECT_EQ(ShortenTabCaption(QStringLiteral("任何"), metrics, 20), QString());
    const QString emoji = QStringLiteral("a😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀");
    const QString emojiCut = ShortenTabCaption(emoji, metrics, 80);
    EXPECT_FALSE(emojiCut.isEmpty() || emojiCut.back().isHighSurrogate());
}

} // namespace

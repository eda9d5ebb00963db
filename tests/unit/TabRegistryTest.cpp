#include "core/Global.h"
#include "shell/Main.h"
#include "tabs/MemoryTrim.h"
#include "tabs/PageControl.h"
#include "page/PopupLimit.h"
#include "shell/ShellMessages.h"
#include "tabs/TabCaption.h"
#include "tabs/TabRegistry.h"
#include "tabs/TabStrip.h"
#include "service/ServiceTasks.h"
#include "widgets/AppMessageBox.h"

#include "FormFixture.h"

#include <QCoreApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QThread>
#include <QTimer>


#include <gtest/gtest.h>

namespace {

// The registry and the strip on a bare tab control, without a main window or
// background tasks. The fixture answers popups and closes the way the window
// does: the popup's tab and every close follow through the event queue.
class TabRegistry : public testing::Test, public TChromiumHandler
{
protected:
    void SetUp() override
    {
        QObject::connect(&FRegistry, &TTabRegistry::ViewCreated, &FPages, [this](TChromium* view) {
            view->SetHandler(this);
            QObject::connect(view, &TChromium::TitleChanged, &FPages,
                             [this, view](const QString& title) { FRegistry.SetTitle(view, title); });
            QObject::connect(view, &TChromium::LoadingStateChanged, &FPages,
                             [this, view](bool loading, bool, bool) { FRegistry.SetTabLoading(view, !loading); });
        });
        QObject::connect(&FStrip, &TTabStrip::CloseRequested, &FPages, [this](int index) {
            QMetaObject::invokeMethod(&FPages, [this, index] { FRegistry.CloseTab(index); }, Qt::QueuedConnection);
        });
        FRegistry.CreatePages();
        FPages.resize(1000, 700);
    }

    TChromium* crmBeforePopup(TChromium*, const TPopupRequest& request) override
    {
        TChromium* view = FRegistry.NewPopupView();
        if (!view)
            return nullptr;
        const TPopupInfo info{view, request.Disposition == TWindowDisposition::NewBackgroundTab};
        QMetaObject::invokeMethod(&FPages, [this, info] { FRegistry.OpenPopupTab(info); }, Qt::QueuedConnection);
        return view;
    }

    void crmJsdialog(TChromium*, const TJsDialogRequest&, TJsDialogReply& reply) override
    {
        reply.Handled = true;
        if (FInDialog)
            FInDialog();
    }
    std::function<void()> FInDialog; // what happens while the page's box is open

    TPageControl& Pages() { return FPages; }
    TTabPage* Page(int index) { return Pages().Page(index); }
    TFakeChromium* ViewOn(int index)
    {
        for (auto& view : FEngine.Views)
            if (view && Page(index) && view->parentWidget() == Page(index))
                return view;
        return nullptr;
    }
    void Login() { FRegistry.OpenAddressTab(QStringLiteral("http://service/?ComputerName=x")); }
    TChromium* Popup(int fromIndex, bool background = false)
    {
        TPopupRequest request;
        request.TargetUrl = QUrl(QStringLiteral("http://service/child"));
        request.Disposition =
            background ? TWindowDisposition::NewBackgroundTab : TWindowDisposition::NewForegroundTab;
        return ViewOn(fromIndex)->RaisePopup(request);
    }
    void PaintStrip()
    {
        QPixmap target(Pages().size());
        Pages().render(&target);
    }
    TRect CloseRectOf(int index) { return FStrip.GeometryOf(index).value().Close; }
    TRect TabRectOf(int index) { return FStrip.GeometryOf(index).value().Tab; }

    TFakeBrowserEngine FEngine;
    TPageControl FPages;
    TTabRegistry FRegistry{FPages, FEngine};
    TTabStrip FStrip{FPages, FRegistry};
};

TEST_F(TabRegistry, LoginTabThenPopupsGetIdsAndPlaceholders)
{
    ASSERT_EQ(Pages().PageCount(), 2);
    EXPECT_EQ(Pages().ActivePageIndex(), 1);
    EXPECT_FALSE(FRegistry.TabVisible(0));
    EXPECT_EQ(FRegistry.FindTab(1)->Sheet, Page(0)); // page 0's record until the login tab opens
    EXPECT_EQ(FRegistry.NewPopupView(), nullptr);    // no placeholder yet: no popup

    Login();
    ASSERT_EQ(Pages().PageCount(), 3);
    EXPECT_EQ(FRegistry.Caption(1), QStringLiteral("Velmar房产ERP"));
    EXPECT_EQ(ViewOn(1)->Loads, QStringList{QStringLiteral("http://service/?ComputerName=x")});
    EXPECT_EQ(FRegistry.FindTab(1)->Sheet, Page(1)); // the record added last wins
    EXPECT_FALSE(FRegistry.TabVisible(2));
    EXPECT_EQ(Page(2)->Tag, 2);
    EXPECT_EQ(FRegistry.NextTabId(), 2);
    EXPECT_EQ(FRegistry.Placeholder(), Page(2));

    TChromium* popup = Popup(1);
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->IsPopup());
    EXPECT_EQ(popup->objectName(), QStringLiteral("NerithBrowserWindow2")); // named after its tab's id
    for (TFakeChromium* view : {ViewOn(1), static_cast<TFakeChromium*>(popup)})
        EXPECT_EQ(view->TextEncoding, QStringLiteral("gb2312")); // pages without a charset read as GB text
    Pump();
    EXPECT_EQ(Pages().PageCount(), 4);
    EXPECT_TRUE(FRegistry.TabVisible(2));
    EXPECT_EQ(Pages().ActivePageIndex(), 2);
    EXPECT_EQ(FRegistry.FindTab(2)->Browser, popup);
    EXPECT_EQ(Page(3)->Tag, 3);

    Popup(2, true); // Ctrl+click: a background tab
    Pump();
    EXPECT_EQ(Pages().ActivePageIndex(), 2);
    EXPECT_TRUE(FRegistry.TabVisible(3));

    // A burst: every popup gets its own tab, in order, none lost or doubled.
    std::vector<TChromium*> burst;
    for (int i = 0; i < 20; ++i)
        burst.push_back(Popup(1));
    Pump();
    ASSERT_EQ(Pages().PageCount(), 4 + 1 + 20);
    for (int i = 0; i < 20; ++i) {
        TTabPage* page = Page(4 + i);
        EXPECT_TRUE(FRegistry.TabVisible(4 + i)) << i;
        EXPECT_EQ(FRegistry.FindTab(page->Tag)->Browser, burst[static_cast<size_t>(i)]) << i;
        EXPECT_EQ(page->Tag, 4 + i) << i;
    }
    EXPECT_FALSE(FRegistry.TabVisible(Pages().PageCount() - 1));
}

TEST_F(TabRegistry, ALoginViewMadeAheadBecomesTheFirstTabsViewAndIsSilentUntilThen)
{
    FRegistry.PrepareLoginView();
    TFakeChromium* ahead = ViewOn(1);
    ASSERT_NE(ahead, nullptr);
    EXPECT_TRUE(ahead->Loads.isEmpty()); // nothing reaches the service before the login address
    ahead->RaiseTitle(QStringLiteral("too early"));
    ahead->RaiseLoading(true);
    EXPECT_EQ(FRegistry.Caption(1), QStringLiteral("正在检测安全环境..."));
    EXPECT_TRUE(FRegistry.LoadingPages().isEmpty());

    const size_t viewsBefore = FEngine.Views.size();
    Login();
    EXPECT_EQ(FEngine.Views.size(), viewsBefore); // no second view for the first tab
    EXPECT_EQ(ViewOn(1), ahead);
    EXPECT_EQ(ahead->Loads, QStringList{QStringLiteral("http://service/?ComputerName=x")});
    EXPECT_EQ(ahead->Tag, 1);
    EXPECT_EQ(FRegistry.FindTab(1)->Browser, ahead);
    EXPECT_EQ(Page(2), FRegistry.Placeholder()); // the same pages, ids and captions as without it
    EXPECT_EQ(FRegistry.Caption(1), QStringLiteral("Velmar房产ERP"));
}

TEST_F(TabRegistry, BlankAddressesOpenAboutBlankAndOthersStayAsGiven)
{
    Login();
    FRegistry.OpenAddressTab(QStringLiteral("  \t "));
    EXPECT_EQ(ViewOn(2)->Loads, QStringList{QStringLiteral("about:blank")});
    FRegistry.OpenAddressTab(QStringLiteral(" http://service/a "));
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
    FRegistry.CloseTab(3); // not the active one: the tab that takes its index becomes active
    EXPECT_EQ(Pages().ActivePageIndex(), 3);
    EXPECT_EQ(Page(3)->Tag, tagOf4);
    EXPECT_EQ(FRegistry.FindTab(tagOf3), nullptr);

    FRegistry.CloseTab(4); // the last tab: the one before it
    EXPECT_EQ(Pages().ActivePageIndex(), 3);
    EXPECT_EQ(Pages().PageCount(), 5);

    for (const int refused : {0, 1, 4, 99, -1}) // page 0, first tab, placeholder, out of range
        FRegistry.CloseTab(refused);
    EXPECT_EQ(Pages().PageCount(), 5);
}

// A close that reaches a tab while its page's box is open (the box runs an
// event loop inside the engine's call) waits until the box is answered: the
// view is never destroyed under the engine's call.
TEST_F(TabRegistry, ATabClosedWhileItsPageShowsABoxClosesOnceTheBoxIsAnswered)
{
    Login();
    Popup(1);
    Pump();
    ASSERT_EQ(Pages().PageCount(), 4);
    const int id = Page(2)->Tag;
    const QPointer<TFakeChromium> view = ViewOn(2);
    std::vector<int> removed;
    QObject::connect(&FRegistry, &TTabRegistry::TabRemoved, &FPages, [&](int, int gone) { removed.push_back(gone); });
    FInDialog = [&] {
        FRegistry.CloseTabWithId(id);
        FRegistry.CloseTab(2); // twice: still one close
        EXPECT_TRUE(view);
        EXPECT_EQ(Pages().PageCount(), 4);
    };
    view->RaiseJsDialog({QUrl(), TJsDialogType::Alert, QStringLiteral("x"), {}});
    EXPECT_TRUE(view); // the engine's call returns into a living view
    FInDialog = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return !view; }));
    EXPECT_EQ(removed, std::vector<int>{id});
    EXPECT_EQ(Pages().PageCount(), 3);
}

// Memory the closed pages left is given back once, after a burst of closes.
TEST_F(TabRegistry, FreeMemoryIsReleasedOnceAfterABurstOfCloses)
{
    int releases = 0;
    TMemoryTrim trim(FRegistry, [&] { ++releases; }, 50);
    Login();
    for (int i = 0; i < 3; ++i)
        Popup(1);
    Pump();
    WaitUntil([] { return false; }, 150);
    EXPECT_EQ(releases, 0); // opening alone releases nothing
    for (int i = 0; i < 3; ++i)
        FRegistry.CloseTab(2);
    EXPECT_EQ(releases, 0);
    EXPECT_TRUE(WaitUntil([&] { return releases == 1; }));
    WaitUntil([] { return false; }, 150);
    EXPECT_EQ(releases, 1);
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
    EXPECT_EQ(FRegistry.Caption(1), QStringLiteral("Velmar房产ERP")); // the first tab keeps the title
    second->RaiseTitle(QStringLiteral("  子页面 1  "));
    EXPECT_EQ(FRegistry.Caption(2), QStringLiteral("  子页面 1  "));
    for (const char* ignored : {"about:blank", " about:blank ", "   ", ""})
        second->RaiseTitle(QString::fromUtf8(ignored));
    EXPECT_EQ(FRegistry.Caption(2), QStringLiteral("  子页面 1  "));
    // A page let through against its certificate says so in its caption.
    int captions = 0;
    QObject::connect(&FRegistry, &TTabRegistry::CaptionChanged, &FRegistry, [&captions](int index) {
        EXPECT_EQ(index, 2);
        ++captions;
    });
    FRegistry.SetCertificateWarning(second, true);
    FRegistry.SetCertificateWarning(second, true);
    EXPECT_EQ(FRegistry.TabText(2), QStringLiteral("【不安全】  子页面 1  "));
    EXPECT_EQ(FRegistry.Caption(2), QStringLiteral("  子页面 1  ")); // the window's title stays the page's
    second->RaiseTitle(QStringLiteral("子页面 2"));
    EXPECT_EQ(FRegistry.TabText(2), QStringLiteral("【不安全】子页面 2"));
    FRegistry.SetCertificateWarning(second, false);
    EXPECT_EQ(FRegistry.TabText(2), QStringLiteral("子页面 2"));
    EXPECT_EQ(captions, 3);
    FRegistry.SetCertificateWarning(nullptr, true); // no tab: nothing
    second->RaiseTitle(QString(100000, QLatin1Char('x')));
    PaintStrip(); // a huge title is cut, not a problem

    second->RaiseLoading(true);
    first->RaiseLoading(true);
    EXPECT_EQ(FRegistry.LoadingPages(), (QList<int>{2, 1}));
    EXPECT_TRUE(FStrip.TimerRefreshTab()->isActive());
    FStrip.TimerRefreshTabTimer();
    EXPECT_TRUE(FStrip.TimerRefreshTab()->isActive()); // more than one entry keeps it going
    first->RaiseLoading(false);
    FStrip.TimerRefreshTabTimer();
    EXPECT_FALSE(FStrip.TimerRefreshTab()->isActive()); // one entry left: it stops

    static_cast<TFakeChromium*>(FRegistry.DesignView())->RaiseLoading(true); // the design-time view changes nothing
    EXPECT_EQ(FRegistry.LoadingPages(), QList<int>{2});

    Popup(1); // closing tab 2 leaves the stale entry of the page that moved
    Pump();
    ViewOn(3)->RaiseLoading(true);
    FRegistry.CloseTab(2);
    EXPECT_EQ(FRegistry.LoadingPages(), QList<int>{3});
}

TEST_F(TabRegistry, PopupTitledBeforeItsTabKeepsOneLiveRecord)
{
    Login();
    auto* popup = static_cast<TFakeChromium*>(Popup(1));
    popup->RaiseTitle(QStringLiteral("早到的标题")); // before WM_SHELL_POPUP_TAB is handled
    TTabPage* page = Page(2);
    EXPECT_EQ(FRegistry.Caption(2), QStringLiteral("早到的标题"));
    Pump();
    EXPECT_EQ(FRegistry.Caption(2), QStringLiteral("Velmar房产ERP"));
    const int id = page->Tag;
    TBrowserTab* registered = FRegistry.FindTab(id);
    EXPECT_EQ(registered->Window, popup);
    FRegistry.CloseTab(2);
    EXPECT_EQ(FRegistry.FindTab(id), nullptr); // neither record is left behind
}

TEST_F(TabRegistry, DrawingRecordsHitRectanglesAndAnimates)
{
    Login();
    Popup(1);
    Pump();
    FRegistry.SetCaption(Page(2), QString());
    EXPECT_EQ(FRegistry.Caption(2), QStringLiteral("新页面"));

    const int y = (29 - QFontMetrics(Pages().font()).height()) / 2 + 2;
    EXPECT_EQ(CloseRectOf(1).Left, 178 - 19);
    EXPECT_EQ(CloseRectOf(2).Left, 178 + 178 - 19);
    EXPECT_EQ(CloseRectOf(2).Top, y);
    EXPECT_EQ(CloseRectOf(2).Right - CloseRectOf(2).Left, 12);
    EXPECT_EQ(TabRectOf(2).Left, 178);
    EXPECT_EQ(TabRectOf(2).Right, 356);
    EXPECT_FALSE(FStrip.GeometryOf(0)); // hidden pages have no tab to hit

    const int id = Page(2)->Tag;
    FRegistry.FindTab(id)->Loaded = false;
    while (FStrip.FrameOf(id) != 13)
        FStrip.Refresh();
    PaintStrip();
    EXPECT_EQ(FStrip.FrameOf(id), 13); // painting only reads
    FStrip.Refresh();
    EXPECT_EQ(FStrip.FrameOf(id), 14);
    FStrip.Refresh();
    EXPECT_EQ(FStrip.FrameOf(id), 0);
}

// What a widget repainted, seen through an event filter.
struct TPaintLog : QObject
{
    QRegion Painted;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            Painted += static_cast<QPaintEvent*>(event)->region();
        return false;
    }
};

TEST_F(TabRegistry, ALoadingChangeRepaintsOnlyItsTab)
{
    Login();
    Popup(1);
    Popup(1);
    Pump();
    Pages().show();
    Pump();
    TPaintLog log;
    Pages().installEventFilter(&log);
    // A new tab is drawn loading already: its load's start changes nothing
    // to see, and only starts the animation.
    ViewOn(3)->RaiseLoading(true);
    Pump();
    EXPECT_EQ(log.Painted, QRegion());
    EXPECT_TRUE(FStrip.TimerRefreshTab()->isActive());
    FStrip.TimerRefreshTabTimer(); // the animation repaints loading tabs only
    Pump();
    EXPECT_EQ(log.Painted, QRegion(Pages().TabRect(3)));
    log.Painted = QRegion();
    ViewOn(3)->RaiseLoading(false);
    Pump();
    EXPECT_EQ(log.Painted, QRegion(Pages().TabRect(3)));
    // Drawn loaded, a new load shows at once.
    log.Painted = QRegion();
    ViewOn(3)->RaiseLoading(true);
    Pump();
    EXPECT_EQ(log.Painted, QRegion(Pages().TabRect(3)));
    Pages().removeEventFilter(&log);
}

TEST_F(TabRegistry, ATitleThatLeavesTheCaptionAsItIsDrawsNothing)
{
    Login();
    Popup(1);
    Pump();
    Pages().show();
    Pump();
    TPaintLog log;
    QList<int> captions;
    QObject::connect(&FRegistry, &TTabRegistry::CaptionChanged, &FRegistry,
                     [&captions](int index) { captions << index; });
    Pages().installEventFilter(&log);
    // The first tab shows the program's name whatever its pages are titled.
    ViewOn(1)->RaiseTitle(QStringLiteral("http://service/?ComputerName=x"));
    ViewOn(1)->RaiseTitle(QStringLiteral("Velmar房产ERP 登录"));
    ViewOn(2)->RaiseTitle(QStringLiteral("子页面 1"));
    ViewOn(2)->RaiseTitle(QStringLiteral("子页面 1"));
    Pump();
    EXPECT_EQ(FRegistry.Caption(1), QStringLiteral("Velmar房产ERP"));
    EXPECT_EQ(captions, QList<int>{2});
    EXPECT_EQ(log.Painted, QRegion(Pages().TabRect(2)));
    // A new title still reaches its tab.
    log.Painted = QRegion();
    ViewOn(2)->RaiseTitle(QStringLiteral("子页面 2"));
    Pump();
    EXPECT_EQ(captions, (QList<int>{2, 2}));
    EXPECT_EQ(FRegistry.TabText(2), QStringLiteral("子页面 2"));
    EXPECT_EQ(log.Painted, QRegion(Pages().TabRect(2)));
    Pages().removeEventFilter(&log);
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
    const TRect third = TabRectOf(3);
    FStrip.PageControl1MouseUp(Qt::MiddleButton, QPoint(third.Left + 5, 5));
    Pump();
    EXPECT_EQ(Pages().PageCount(), 5);
    FStrip.PageControl1MouseUp(Qt::MiddleButton, QPoint(5, 5)); // the first tab stays
    Pump();
    EXPECT_EQ(Pages().PageCount(), 5);

    // Left release: only on the active tab's close button.
    PaintStrip();
    const int active = Pages().ActivePageIndex();
    const TRect close = CloseRectOf(active);
    FStrip.PageControl1MouseUp(Qt::LeftButton, QPoint(close.Left - 3, close.Top + 1));
    Pump();
    EXPECT_EQ(Pages().PageCount(), 5);
    FStrip.PageControl1MouseUp(Qt::LeftButton, QPoint(close.Left + 1, close.Top + 1));
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
    FStrip.PageControl1MouseDown(Qt::RightButton, {});
    FStrip.PageControl1MouseDown(Qt::LeftButton, {});
    Pump();
    EXPECT_EQ(Pages().PageCount(), 5);
    FStrip.PageControl1MouseDown(Qt::LeftButton, {});
    Pump();
    FStrip.PageControl1MouseDown(Qt::LeftButton, {});
    Pump();
    EXPECT_EQ(Pages().PageCount(), 3);
    EXPECT_EQ(Pages().ActivePageIndex(), 1);
    FStrip.PageControl1MouseDown(Qt::LeftButton, {});
    Pump();
    EXPECT_EQ(Pages().PageCount(), 3);

    // Presses 300 ms or more apart only select.
    Popup(1);
    Pump();
    QThread::msleep(320);
    FStrip.PageControl1MouseDown(Qt::LeftButton, {});
    QThread::msleep(320);
    FStrip.PageControl1MouseDown(Qt::LeftButton, {});
    Pump();
    EXPECT_EQ(Pages().PageCount(), 4);
}

TEST_F(TabRegistry, HoverRepaintsOnlyOnEnteringAndLeaving)
{
    Login();
    Popup(1);
    Pump();
    PaintStrip();
    const TRect close = CloseRectOf(2);
    FStrip.PageControl1MouseMove(QPoint(close.Left - 20, close.Top));
    EXPECT_TRUE(FStrip.PointerAway(2));
    FStrip.PageControl1MouseMove(QPoint(close.Left, close.Top));
    EXPECT_FALSE(FStrip.PointerAway(2));
    EXPECT_EQ(FStrip.LastMousePos(), QPoint(close.Left, close.Top));
    FStrip.PageControl1MouseMove(QPoint(close.Right, close.Top)); // right edge is outside
    EXPECT_TRUE(FStrip.PointerAway(2));
}

TEST_F(TabRegistry, MoreTabsThanSlotsStayWithinTheTable)
{
    Login();
    while (Pages().PageCount() < TTabStrip::TabSlotCount + 40)
        FRegistry.OpenAddressTab(QStringLiteral("http://service/many"));
    Pages().SetActivePageIndex(Pages().PageCount() - 2);
    PaintStrip();
    FStrip.PageControl1MouseMove(QPoint(5, 5));
    FStrip.PageControl1MouseUp(Qt::MiddleButton, QPoint(5, 5));
    FStrip.PageControl1MouseDown(Qt::LeftButton, {});
    FStrip.PageControl1MouseDown(Qt::LeftButton, {}); // closes the active tab, past the table
    Pump();
    EXPECT_EQ(Pages().PageCount(), TTabStrip::TabSlotCount + 39);
    ViewOn(Pages().PageCount() - 2)->RaiseLoading(true);
    FRegistry.CloseTab(Pages().PageCount() - 2);
    EXPECT_EQ(Pages().PageCount(), TTabStrip::TabSlotCount + 38);
}

// The window's side: its login task opens the first tab, its popup handler
// and close messages drive the registry, and the caption follows the tabs.
class FormMainTabs : public FormFixture
{
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        StartForm();
    }
};

// The window just made and shown, its first paint and the real task's
// result still waiting in the event queue.
class FormMainStart : public FormFixture
{
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        MakeForm();
    }
};

TEST_F(FormMainStart, TheLoginAddressLoadsAsItArrivesNotBehindTheQueue)
{
    auto* task = FForm->findChild<TLoginAddressTask*>();
    ASSERT_NE(task, nullptr);
    ASSERT_EQ(Pages().PageCount(), 2);
    const QString address = QStringLiteral("http://service/?ComputerName=early");
    Q_EMIT task->LoginAddressReady(address);
    // No turn of the event loop: the first tab exists and loads already.
    ASSERT_EQ(Pages().PageCount(), 3);
    ASSERT_NE(ViewOn(1), nullptr);
    EXPECT_EQ(ViewOn(1)->Loads, QStringList{address});
    EXPECT_EQ(FForm->LoginUrl(), address);
}

TEST_F(FormMainTabs, OnlyTheServicesPagesMayWriteToTheClipboardByThemselves)
{
    TFakeChromium* view = ViewOn(1);
    const struct
    {
        QString Url;
        bool Allowed;
    } cases[] = {
        {QStringLiteral("http://") + ServiceHost() + QStringLiteral("/home.html"), true},
        {QStringLiteral("http://elsewhere.example/copy.html"), false},
        {QStringLiteral("http://") + ServiceHost() + QStringLiteral("/contracts?id=1"), true},
        {QStringLiteral("https://") + ServiceHost() + QStringLiteral("x.example/"), false}, // a look-alike host
    };
    for (const auto& c : cases) {
        view->RaiseUrl(c.Url);
        EXPECT_EQ(view->ClipboardAccess, c.Allowed) << c.Url.toStdString();
    }
}

TEST_F(FormMainTabs, LoginTaskOpensTheFirstTabAndPopupsAndClosesFollow)
{
    EXPECT_EQ(ViewOn(1)->Loads, QStringList{FForm->LoginUrl()});
    EXPECT_TRUE(FForm->LoginUrl().startsWith(QStringLiteral("http://") + ServiceHost() + QStringLiteral("/?ComputerName=")));
    for (int i = 0; i < 4; ++i)
        ASSERT_NE(Popup(1), nullptr);
    Pump();
    ASSERT_EQ(Pages().PageCount(), 7);
    ViewOn(3)->RaiseTitle(QStringLiteral("第三页"));
    Pages().SetActivePageIndex(2);
    QCoreApplication::postEvent(FForm.get(), new TShellEvent(WM_SHELL_CLOSE_TAB, Pages().Page(2)->Tag));
    Pump();
    EXPECT_EQ(Pages().PageCount(), 6);
    EXPECT_EQ(FForm->windowTitle(), QStringLiteral("第三页 - Velmar房产ERP 1.0.0.2"));
    ViewOn(2)->RaiseTitle(QStringLiteral("改了")); // the active tab's title shows at once
    EXPECT_EQ(FForm->windowTitle(), QStringLiteral("改了 - Velmar房产ERP 1.0.0.2"));
}

TEST_F(FormMainTabs, PageClosingItselfClosesItsTabOrHidesAndTheShellGoesOn)
{
    Popup(1);
    Pump();
    ASSERT_EQ(Pages().PageCount(), 4);
    ViewOn(2)->RaiseClose(); // a popup's "保存并关闭"
    Pump();
    EXPECT_EQ(Pages().PageCount(), 3);
    EXPECT_TRUE(FForm->isVisible());

    ViewOn(1)->RaiseClose(); // the first tab's page: the window hides
    Pump();
    EXPECT_TRUE(FForm->isHidden() || FForm->isMinimized());
    EXPECT_FALSE(FForm->FClosing);
    EXPECT_TRUE(FForm->FConfirmExit); // the exit question still comes

    // Nothing is switched off: popups, titles and dialogs work on.
    ASSERT_NE(Popup(1), nullptr);
    Pump();
    EXPECT_EQ(Pages().PageCount(), 4);
    ViewOn(2)->RaiseTitle(QStringLiteral("still titled"));
    EXPECT_EQ(FForm->Registry().Caption(2), QStringLiteral("still titled"));
    int boxes = 0;
    SetMessageBoxHook([&boxes](const QString&, const QString&, int) { ++boxes; return IDYES; });
    TJsDialogRequest confirm;
    confirm.Type = TJsDialogType::Confirm;
    confirm.MessageText = QStringLiteral("确定吗？");
    EXPECT_TRUE(ViewOn(2)->RaiseJsDialog(confirm).Success);
    EXPECT_EQ(boxes, 1);
    // The language header still goes on every request.
    EXPECT_EQ(ViewOn(1)->RaiseBeforeResourceLoad(QUrl(QStringLiteral("http://service/x"))).Value("accept-language"),
              QByteArray("zh-CN"));
}

TEST_F(FormMainTabs, ClosingATabAsksItsPageFirst)
{
    // Ctrl+W on the first tab: nothing, its page is not even asked.
    PostShellMessage(FForm.get(), WM_SHELL_CLOSE_TAB, FForm->Registry().IdAt(1));
    Pump();
    EXPECT_EQ(ViewOn(1)->CloseRequests, 0);
    EXPECT_FALSE(FForm->isHidden());

    Popup(1);
    Pump();
    ASSERT_EQ(Pages().PageCount(), 4);
    QPointer<TFakeChromium> view = ViewOn(2);
    int asked = 0;
    QObject::connect(view, &TChromium::CloseRequested, view, [&asked] { ++asked; });
    PostShellMessage(FForm.get(), WM_SHELL_CLOSE_TAB, FForm->Registry().IdAt(2));
    // The page let go: its tab closes as a page closing itself does.
    EXPECT_TRUE(WaitUntil([&] { return Pages().PageCount() == 3; }));
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(view.isNull());
}

TEST_F(FormMainTabs, PopupsWithoutAClickAreBoundedPerTab)
{
    TPopupRequest scripted; // no user gesture
    int opened = 0;
    for (int i = 0; i < TPopupLimit::Limit + 10; ++i)
        opened += ViewOn(1)->RaisePopup(scripted) ? 1 : 0;
    EXPECT_EQ(opened, TPopupLimit::Limit);
    TPopupRequest clicked;
    clicked.UserGesture = true;
    EXPECT_NE(ViewOn(1)->RaisePopup(clicked), nullptr);
    Pump();
    // The user can still close tabs and use the window.
    const int count = Pages().PageCount();
    QCoreApplication::postEvent(FForm.get(), new TShellEvent(WM_SHELL_CLOSE_TAB, Pages().Page(2)->Tag));
    Pump();
    EXPECT_EQ(Pages().PageCount(), count - 1);
}

TEST_F(FormMainTabs, PopupsThatOpenPopupsStopAtTheLimitOfTheTabTheyStartedFrom)
{
    TPopupRequest scripted; // no user gesture
    int opened = 0;
    std::vector<QPointer<TFakeChromium>> openers{ViewOn(1)};
    for (int generation = 0; generation < 3; ++generation) {
        std::vector<QPointer<TFakeChromium>> children;
        for (const QPointer<TFakeChromium>& opener : openers) {
            for (int i = 0; i < 10; ++i) {
                if (TChromium* popup = opener ? opener->RaisePopup(scripted) : nullptr) {
                    children.emplace_back(static_cast<TFakeChromium*>(popup));
                    ++opened;
                }
            }
        }
        Pump();
        openers = children;
    }
    EXPECT_EQ(opened, TPopupLimit::Limit);
}

TEST(PopupLimit, CountsOnlyPopupsWithoutAClickPerTabWithinAMinute)
{
    TPopupLimit limit;
    for (int i = 0; i < TPopupLimit::Limit; ++i)
        ASSERT_TRUE(limit.Allow(1, false, 1000 + i));
    EXPECT_FALSE(limit.Allow(1, false, 2000));
    EXPECT_TRUE(limit.Allow(1, true, 2000));  // a click always opens
    EXPECT_TRUE(limit.Allow(2, false, 2000)); // another tab has its own count
    EXPECT_FALSE(limit.Allow(1, false, 1000 + TPopupLimit::WindowMs - 1));
    EXPECT_TRUE(limit.Allow(1, false, 1000 + TPopupLimit::WindowMs)); // the oldest has aged out
}

// Popups that open popups, each of which opens more: all of them count
// against the tab the chain started from, so the chain stops at the limit.
TEST(PopupLimit, ChainsCountAgainstTheTabTheyStartedFromAndMemoryStaysBounded)
{
    TPopupLimit limit;
    int nextId = 100;
    int opened = 0;
    std::vector<int> openers{1};
    for (int generation = 0; generation < 4 && !openers.empty(); ++generation) {
        std::vector<int> children;
        for (const int opener : openers) {
            for (int i = 0; i < 20; ++i) {
                if (limit.Allow(opener, false, 1000)) {
                    limit.Opened(opener, nextId);
                    children.push_back(nextId++);
                    ++opened;
                }
            }
        }
        openers = children;
    }
    EXPECT_EQ(opened, TPopupLimit::Limit);
    EXPECT_TRUE(limit.Allow(2, false, 1000)); // another tab the user opened has its own count

    // A working day of popups that open and close: nothing piles up.
    const int before = limit.Remembered(); // the chain above is still open
    for (int i = 0; i < 10000; ++i) {
        const qint64 now = 2000 + i * 2000; // 30 a minute, within the limit
        ASSERT_TRUE(limit.Allow(1, true, now) && limit.Allow(3, false, now));
        limit.Opened(3, nextId);
        limit.Closed(nextId++);
    }
    EXPECT_LE(limit.Remembered(), before + 1);
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

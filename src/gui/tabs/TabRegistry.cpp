#include "tabs/TabRegistry.h"

#include "core/Global.h"
#include "engine/BrowserEngine.h"
#include "tabs/PageControl.h"

#include <QGuiApplication>
#include <QLabel>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

const char* const kWaitingCaption = "正在检测安全环境...";
const char* const kEmptyCaption = "新页面";

QVBoxLayout* FillLayout(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    return layout;
}

} // namespace

TTabRegistry::TTabRegistry(TPageControl& pages, TBrowserEngine& engine, QObject* parent)
    : QObject(parent), FPages(pages), FPagesAlive(&pages), FEngine(engine)
{
    FPages.SetModel(this);
    // A tab the user clicks is announced like one chosen in code.
    connect(&FPages, &TPageControl::Changed, this, [this] { Q_EMIT ActiveChanged(FPages.ActivePageIndex()); });
    // The tabs share the strip's width; the active page fills the control.
    connect(&FPages, &TPageControl::Resized, this, [this] {
        RecalcTabWidth();
        FitTabWindow(ActiveTab());
    });
}

TTabRegistry::~TTabRegistry()
{
    // The control may have gone first (the window deletes it with its views).
    if (FPagesAlive)
        FPagesAlive->SetModel(nullptr);
}

void TTabRegistry::AddPage(TTabPage* page, const QString& caption, bool visible)
{
    FPageTabs.push_back({caption, visible});
    FPages.AddPage(page);
}

void TTabRegistry::DeletePage(int index)
{
    if (index < 0 || index >= static_cast<int>(FPageTabs.size()))
        return;
    FPageTabs.erase(FPageTabs.begin() + index);
    FPages.DeletePage(index);
}

void TTabRegistry::SetTabVisible(int index, bool visible)
{
    if (index < 0 || index >= static_cast<int>(FPageTabs.size()))
        return;
    FPageTabs[static_cast<size_t>(index)].Visible = visible;
    FPages.TabsChanged();
}

bool TTabRegistry::TabVisible(int index) const
{
    return index >= 0 && index < static_cast<int>(FPageTabs.size()) && FPageTabs[static_cast<size_t>(index)].Visible;
}

QString TTabRegistry::Caption(int index) const
{
    return index >= 0 && index < static_cast<int>(FPageTabs.size()) ? FPageTabs[static_cast<size_t>(index)].Caption
                                                                    : QString();
}

QString TTabRegistry::TabText(int index) const
{
    const bool warn = index >= 0 && index < static_cast<int>(FPageTabs.size()) &&
                      FPageTabs[static_cast<size_t>(index)].CertificateWarning;
    return warn ? QStringLiteral("【不安全】") + Caption(index) : Caption(index);
}

void TTabRegistry::CreatePages()
{
    auto* page0 = new TTabPage();
    FDesignView = FEngine.CreateView(page0);
    FDesignView->Tag = 0; // the design-time view: no record bears its id
    FillLayout(page0)->addWidget(FDesignView);
    AddPage(page0, QString(), true);
    Q_EMIT ViewCreated(FDesignView);

    auto* page1 = new TTabPage();
    page1->Tag = 1;
    const QString waitingText = QString::fromUtf8(kWaitingCaption);
    // The waiting text and, once made, the login view share the page; the
    // text stays on top until the login address is loaded.
    auto* stack = new QStackedLayout(page1);
    stack->setStackingMode(QStackedLayout::StackAll);
    auto* waiting = new QLabel(waitingText, page1);
    waiting->setAlignment(Qt::AlignCenter);
    waiting->setAutoFillBackground(true);
    stack->addWidget(waiting);
    AddPage(page1, waitingText, true);

    // Page 0 carries id 1 until the login tab takes it over; its tab never
    // shows, so page 1 is the only tab until then.
    FNextTabId = 1;
    page0->Tag = FNextTabId;
    FTabMap.insert(page0->Tag, NewTabRecord(FDesignView, page0));
    SetTabVisible(0, false);
    FPages.SetActivePageIndex(1);
}

TTabPage* TTabRegistry::PageOf(const TChromium* view) const
{
    for (QWidget* parent = view ? view->parentWidget() : nullptr; parent; parent = parent->parentWidget())
        if (const int index = FPages.IndexOf(parent); index >= 0)
            return FPages.Page(index);
    return nullptr;
}

int TTabRegistry::IndexOfPage(const QWidget* page) const
{
    return FPages.IndexOf(page);
}

TBrowserTab* TTabRegistry::FindTab(int id) const
{
    return FTabMap.value(id, nullptr);
}

TBrowserTab* TTabRegistry::ActiveTab() const
{
    const TTabPage* page = FPages.Page(FPages.ActivePageIndex());
    return page ? FindTab(page->Tag) : nullptr;
}

TBrowserTab* TTabRegistry::ActiveBrowserTab() const
{
    TBrowserTab* tab = ActiveTab();
    return tab && tab->Browser && tab->Sheet ? tab : nullptr;
}

bool TTabRegistry::IsFirstTab(const TChromium* view) const
{
    return FPages.IndexOf(PageOf(view)) == 1;
}

std::vector<TBrowserTab*> TTabRegistry::VisibleTabs() const
{
    std::vector<TBrowserTab*> tabs;
    for (int index = 1; index < FPages.PageCount(); ++index) {
        if (TBrowserTab* tab = TabVisible(index) ? FindTab(FPages.Page(index)->Tag) : nullptr)
            tabs.push_back(tab);
    }
    return tabs;
}

std::vector<bool> TTabRegistry::TabVisibility() const
{
    std::vector<bool> visible;
    for (const TPageTab& tab : FPageTabs)
        visible.push_back(tab.Visible);
    return visible;
}

bool TTabRegistry::Activate(int index)
{
    if (index < 0 || index >= FPages.PageCount() || index == FPages.ActivePageIndex())
        return false;
    FPages.SetActivePageIndex(index);
    Q_EMIT ActiveChanged(index);
    return true;
}

bool TTabRegistry::ActivateTabOf(const TChromium* view)
{
    const int index = FPages.IndexOf(PageOf(view));
    if (index <= 0 || !TabVisible(index))
        return false;
    FPages.SetActivePageIndex(index); // redraws the strip with the next frame
    Q_EMIT ActiveChanged(index);
    return true;
}

TBrowserTab* TTabRegistry::NewTabRecord(TChromium* browser, TTabPage* page)
{
    auto record = std::make_unique<TBrowserTab>();
    record->Browser = browser;
    record->Sheet = page;
    FTabRecords.push_back(std::move(record));
    return FTabRecords.back().get();
}

void TTabRegistry::DisposeTab(TBrowserTab* tab)
{
    for (auto it = FTabMap.begin(); it != FTabMap.end();) {
        if (it.value() == tab)
            it = FTabMap.erase(it);
        else
            ++it;
    }
    std::erase_if(FTabRecords, [tab](const std::unique_ptr<TBrowserTab>& record) { return record.get() == tab; });
}

void TTabRegistry::PrepareLoginView()
{
    TTabPage* page = FPages.Page(1);
    if (FLoginView || !page || FPages.PageCount() != 2)
        return;
    // Made, shown and drawn while the machine's identity is gathered, under
    // the waiting text, so the login address loads the moment it exists.
    // It reports nothing until it becomes the first tab's view.
    FLoginView = FEngine.CreateView(page);
    page->layout()->addWidget(FLoginView);
    if (auto* stack = qobject_cast<QStackedLayout*>(page->layout()))
        stack->setCurrentIndex(0);
}

TChromium* TTabRegistry::NewBrowserView(TTabPage* page)
{
    // What the page showed while it waited gives way to the view.
    TChromium* ready = FLoginView && FLoginView->parentWidget() == page ? FLoginView.data() : nullptr;
    for (QWidget* child : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (child != ready)
            child->hide();
    FLoginView = nullptr;
    TChromium* view = ready ? ready : FEngine.CreateView(page);
    view->Tag = page->Tag;
    view->SetDefaultTextEncoding(QStringLiteral("gb2312")); // older service pages declare no charset
    Q_EMIT ViewCreated(view);
    if (!page->layout())
        FillLayout(page);
    if (!ready)
        page->layout()->addWidget(view);
    view->show();
    view->raise();
    return view;
}

void TTabRegistry::AddPlaceholderPage()
{
    auto* page = new TTabPage();
    ++FNextTabId;
    page->Tag = FNextTabId;
    AddPage(page, QString(), false);
    FPlaceholderWnd = page;
    FPlaceholderHoldsPopup = false;
    RecalcTabWidth();
}

void TTabRegistry::SetCaption(TTabPage* page, const QString& caption)
{
    const int index = FPages.IndexOf(page);
    if (index < 0)
        return;
    const QString text = caption.isEmpty() ? QString::fromUtf8(kEmptyCaption) : caption;
    // The first tab keeps the program's name through every title of its
    // pages: a caption that stays costs no redraw of the whole window (the
    // login page loads meanwhile, and the engine waits for drawn frames).
    if (FPageTabs[static_cast<size_t>(index)].Caption == text)
        return;
    FPageTabs[static_cast<size_t>(index)].Caption = text;
    FPages.TabTextChanged(index);
    Q_EMIT CaptionChanged(index);
}

void TTabRegistry::SetCertificateWarning(const TChromium* view, bool warn)
{
    const int index = FPages.IndexOf(PageOf(view));
    if (index < 0 || FPageTabs[static_cast<size_t>(index)].CertificateWarning == warn)
        return;
    FPageTabs[static_cast<size_t>(index)].CertificateWarning = warn;
    FPages.TabTextChanged(index);
    Q_EMIT CaptionChanged(index);
}

void TTabRegistry::OpenAddressTab(const QString& address)
{
    const QString target = address.trimmed().isEmpty() ? QStringLiteral("about:blank") : address;
    const int index = FPages.PageCount() - 1;
    TTabPage* page = FPages.Page(index);
    if (!page)
        return;
    FPageTabs[static_cast<size_t>(index)].Caption = AppTitle();
    SetTabVisible(index, true);
    FPages.SetActivePageIndex(index);
    TChromium* view = NewBrowserView(page);
    view->Load(target);
    TBrowserTab* tab = NewTabRecord(view, page);
    tab->Window = view;
    // Events of the new view that arrive before this point find no record.
    FTabMap.insert(page->Tag, tab);
    AddPlaceholderPage();
    Q_EMIT TabAdded(index);
    Q_EMIT ActiveChanged(index);
}

TChromium* TTabRegistry::NewPopupView()
{
    if (!FPlaceholderWnd)
        return nullptr;
    // Each popup gets a placeholder of its own, so rapid popups become tabs
    // of their own, in order.
    if (FPlaceholderHoldsPopup)
        AddPlaceholderPage();
    TTabPage* page = FPlaceholderWnd;
    FPlaceholderHoldsPopup = true;
    TChromium* view = NewBrowserView(page);
    view->setObjectName(QStringLiteral("NerithBrowserWindow%1").arg(FNextTabId));
    return view;
}

void TTabRegistry::OpenPopupTab(const TPopupInfo& info)
{
    // The popup lives in the page it was created in; that page may already
    // be gone (closed with the window) or the view may have been destroyed.
    TTabPage* page = info.Window ? PageOf(info.Window) : nullptr;
    const int index = page ? FPages.IndexOf(page) : -1;
    if (index < 0)
        return;
    FPageTabs[static_cast<size_t>(index)].Caption = AppTitle();
    if (page == FPlaceholderWnd)
        FPlaceholderHoldsPopup = false;
    TBrowserTab* tab = NewTabRecord(info.Window, page);
    tab->Window = info.Window;
    FTabMap.insert(page->Tag, tab);
    if (index == FPages.PageCount() - 1)
        AddPlaceholderPage();
    SetTabVisible(index, true);
    RecalcTabWidth();
    Q_EMIT TabAdded(index);
    const bool ctrlHeld = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
    if (!info.Background && !ctrlHeld) {
        FPages.SetActivePageIndex(index);
        Q_EMIT ActiveChanged(index);
    }
}

int TTabRegistry::IdAt(int index) const
{
    const TTabPage* page = FPages.Page(index);
    return page ? page->Tag : 0;
}

void TTabRegistry::CloseTabWithId(int id)
{
    // Pages 0 and 1 share the first id and never close; every later page has an id of its own.
    for (int index = 2; index < FPages.PageCount(); ++index) {
        if (FPages.Page(index)->Tag == id) {
            CloseTab(index);
            return;
        }
    }
}

void TTabRegistry::CloseTab(int index)
{
    // Only the tabs the strip shows can close, never the first one: page 0,
    // the placeholder and a popup still waiting for its tab stay.
    const int count = FPages.PageCount();
    TTabPage* page = FPages.Page(index);
    if (!page || index <= 1 || index >= count - 1 || !TabVisible(index))
        return;
    TBrowserTab* closing = FindTab(page->Tag);
    if (closing && closing->Browser && closing->Browser->InDialog()) {
        // A close that came in while the page's box is open (a posted close
        // run by the box's event loop): the engine's call is still on the
        // stack, so the tab closes once the box has been answered.
        const int id = page->Tag;
        if (!FClosingAfterDialog.contains(id)) {
            FClosingAfterDialog.insert(id);
            connect(
                closing->Browser, &TChromium::DialogEnded, this,
                [this, id] {
                    FClosingAfterDialog.remove(id);
                    CloseTabWithId(id);
                },
                static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
        }
        return;
    }
    if (closing && closing->Browser) {
        Q_EMIT TabClosing(index, closing->Browser);
        closing->Browser->StopLoad();
    }
    FLoadingPages.removeOne(index);
    // Every record on the page goes, also a popup's that was registered twice.
    std::vector<TBrowserTab*> records;
    for (const auto& record : FTabRecords)
        if (record->Sheet == page)
            records.push_back(record.get());
    for (TBrowserTab* record : records)
        DisposeTab(record);
    const int id = page->Tag;
    DeletePage(index);
    Q_EMIT TabRemoved(index, id);

    const int newCount = FPages.PageCount();
    const int active = index == newCount - 1 ? index - 1 : index;
    FPages.SetActivePageIndex(active);
    RecalcTabWidth();
    Q_EMIT ActiveChanged(active);
}

void TTabRegistry::RecalcTabWidth()
{
    const int available = FPages.width() - StripReserve;
    const int tabs = FPages.PageCount() - 2;
    int width = DesignTabWidth;
    if (tabs > 0 && available <= tabs * DesignTabWidth)
        width = qMax(0, available) / tabs;
    FPages.SetTabWidth(width);
}

void TTabRegistry::FitTabWindow(TBrowserTab* tab)
{
    if (!tab || !tab->Window || !tab->Sheet)
        return;
    tab->Window->setGeometry(0, 0, tab->Sheet->width(), tab->Sheet->height());
}

bool TTabRegistry::SetTitle(TChromium* view, const QString& title)
{
    TTabPage* page = PageOf(view);
    if (!page)
        return false;
    TBrowserTab* tab = FindTab(page->Tag);
    if (view->IsPopup()) {
        // A popup may be titled before its tab is made: it gets its record now.
        if (!tab) {
            tab = NewTabRecord(view, page);
            FTabMap.insert(page->Tag, tab);
        }
        if (!tab->Window) {
            tab->Window = view;
            tab->Browser = view;
        }
    }
    if (!tab)
        return false;
    const QString trimmed = title.trimmed();
    if (trimmed.isEmpty() || trimmed == QLatin1String("about:blank"))
        return false;
    SetCaption(page, FPages.IndexOf(page) == 1 ? AppTitle() : title);
    return true;
}

void TTabRegistry::SetTabLoading(TChromium* view, bool loaded)
{
    if (!view || view->Tag == 0)
        return;
    TBrowserTab* tab = FindTab(view->Tag);
    if (!tab || !tab->Sheet)
        return;
    const int p = FPages.IndexOf(tab->Sheet);
    if (p < 0)
        return;
    if (!loaded && !FLoadingPages.contains(p))
        FLoadingPages.append(p);
    if (loaded)
        FLoadingPages.removeOne(p);
    const bool wasLoading = !tab->Loaded;
    tab->Loaded = loaded;
    Q_EMIT LoadingChanged(p, !loaded, wasLoading);
}

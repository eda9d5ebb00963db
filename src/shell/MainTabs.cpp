// The tab registry of the main window: pages, records, slots and ids.

#include "shell/Main.h"

#include "app/Global.h"
#include "engine/BrowserEngine.h"
#include "shell/PageControl.h"
#include "shell/ShellMessages.h"

#include <QGuiApplication>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

void TFormMain::CreatePages()
{
    PageControl1 = new TPageControl(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageControl1);

    auto* page0 = new TTabPage();
    auto* page0Layout = new QVBoxLayout(page0);
    page0Layout->setContentsMargins(0, 0, 0, 0);
    crm = FEngine.CreateView(page0);
    crm->Tag = 0; // the design-time view: no record bears its id
    BindEvents(crm);
    page0Layout->addWidget(crm);
    PageControl1->AddPage(page0);

    auto* page1 = new TTabPage();
    page1->Tag = 1;
    page1->Caption = QStringLiteral("正在检测安全环境...");
    auto* page1Layout = new QVBoxLayout(page1);
    page1Layout->setContentsMargins(0, 0, 0, 0);
    auto* waiting = new QLabel(page1->Caption, page1);
    waiting->setAlignment(Qt::AlignCenter);
    page1Layout->addWidget(waiting);
    PageControl1->AddPage(page1);

    PageControl1->OnDrawSkinTab = [this](int index, const QRect& rct, bool active, bool mouseIn, QPainter& canvas) {
        PageControl1DrawSkinTab(index, rct, active, mouseIn, canvas);
    };
    PageControl1->OnMouseDown = [this](Qt::MouseButton button, const QPoint& pos) { PageControl1MouseDown(button, pos); };
    PageControl1->OnMouseMove = [this](const QPoint& pos) { PageControl1MouseMove(pos); };
    PageControl1->OnMouseUp = [this](Qt::MouseButton button, const QPoint& pos) { PageControl1MouseUp(button, pos); };
    PageControl1->OnChange = [this] { PageControl1Change(); };

    TimerRefreshTab = new QTimer(this);
    TimerRefreshTab->setInterval(250);
    connect(TimerRefreshTab, &QTimer::timeout, this, &TFormMain::TimerRefreshTabTimer);
}

void TFormMain::BindEvents(TChromium* view)
{
    view->OnBeforePopup = [this](TChromium* sender, const TPopupRequest& request) {
        return crmBeforePopup(sender, request);
    };
    view->OnBeforeResourceLoad = [this](TChromium* sender, const QUrl& url, TRequestHeaders& headers) {
        crmBeforeResourceLoad(sender, url, headers);
    };
    view->OnTitleChange = [this](TChromium* sender, const QString& title) { crmTitleChange(sender, title); };
    view->OnLoadingStateChange = [this](TChromium* sender, bool loading, bool back, bool forward) {
        crmLoadingStateChange(sender, loading, back, forward);
    };
    view->OnClose = [this](TChromium* sender) { crmClose(sender); };
    view->OnJsdialog = [this](TChromium* sender, const TJsDialogRequest& request, TJsDialogReply& reply) {
        crmJsdialog(sender, request, reply);
    };
    view->OnBeforeContextMenu = [this](TChromium* sender, const TContextMenuParams& params, TContextMenuModel& model) {
        crmBeforeContextMenu(sender, params, model);
    };
    view->OnContextMenuCommand = [this](TChromium* sender, const TContextMenuParams& params, int commandId) {
        crmContextMenuCommand(sender, params, commandId);
    };
    view->OnBeforeDownload = [this](TChromium* sender, const TDownloadRequest& request, TDownloadReply& reply) {
        crmBeforeDownload(sender, request, reply);
    };
}

TTabSlot* TFormMain::SlotAt(int index)
{
    return index >= 0 && index < TabSlotCount ? &FTabSlots[static_cast<size_t>(index)] : nullptr;
}

TTabPage* TFormMain::PageOf(const QWidget* view) const
{
    for (QWidget* parent = view ? view->parentWidget() : nullptr; parent; parent = parent->parentWidget())
        if (PageControl1->IndexOf(parent) >= 0)
            return static_cast<TTabPage*>(parent);
    return nullptr;
}

TBrowserTab* TFormMain::FindTab(int id) const
{
    return FTabMap.value(id, nullptr);
}

TBrowserTab* TFormMain::ActiveTab() const
{
    const TTabPage* page = PageControl1->Page(PageControl1->ActivePageIndex());
    return page ? FindTab(page->Tag) : nullptr;
}

TBrowserTab* TFormMain::NewTabRecord(TChromium* browser, TTabPage* page)
{
    auto record = std::make_unique<TBrowserTab>();
    record->Browser = browser;
    record->Sheet = page;
    FTabRecords.push_back(std::move(record));
    return FTabRecords.back().get();
}

void TFormMain::DisposeTab(TBrowserTab* tab)
{
    for (auto it = FTabMap.begin(); it != FTabMap.end();) {
        if (it.value() == tab)
            it = FTabMap.erase(it);
        else
            ++it;
    }
    std::erase_if(FTabRecords, [tab](const std::unique_ptr<TBrowserTab>& record) { return record.get() == tab; });
}

TChromium* TFormMain::NewBrowserView(TTabPage* page)
{
    // What the page showed while it waited gives way to the view.
    for (QWidget* child : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        child->hide();
    TChromium* view = FEngine.CreateView(page);
    view->Tag = page->Tag;
    BindEvents(view);
    if (!page->layout()) {
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    page->layout()->addWidget(view);
    view->show();
    return view;
}

void TFormMain::AddPlaceholderPage()
{
    auto* page = new TTabPage();
    page->TabVisible = false;
    ++FNextTabId;
    page->Tag = FNextTabId;
    PageControl1->AddPage(page);
    FPlaceholderWnd = page;
    RecalcTabWidth();
}

void TFormMain::OpenAddressTab(const QString& address)
{
    const QString target = address.trimmed().isEmpty() ? QStringLiteral("about:blank") : address;
    const int index = PageControl1->PageCount() - 1;
    TTabPage* page = PageControl1->Page(index);
    if (!page)
        return;
    page->Caption = AppTitle();
    PageControl1->SetTabVisible(index, true);
    PageControl1->SetActivePageIndex(index);
    if (TTabSlot* slot = SlotAt(index))
        slot->PageIndex = index;
    TChromium* view = NewBrowserView(page);
    view->Load(target);
    TBrowserTab* tab = NewTabRecord(view, page);
    tab->Window = view;
    // Events of the new view that arrive before this point find no record.
    FTabMap.insert(page->Tag, tab);
    AddPlaceholderPage();
}

void TFormMain::OpenPopupTab(const TPopupInfo& info)
{
    // The popup lives in the page it was created in; that page may already
    // be gone (closed with the window) or the view may have been destroyed.
    TTabPage* page = info.Window ? PageOf(info.Window) : nullptr;
    const int index = page ? PageControl1->IndexOf(page) : -1;
    if (index < 0)
        return;
    page->Caption = AppTitle();
    page->HoldsPopup = false;
    if (TTabSlot* slot = SlotAt(index))
        slot->PageIndex = index;
    TBrowserTab* tab = NewTabRecord(info.Window, page);
    tab->Window = info.Window;
    FTabMap.insert(page->Tag, tab);
    if (index == PageControl1->PageCount() - 1)
        AddPlaceholderPage();
    PageControl1->SetTabVisible(index, true);
    const bool ctrlHeld = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
    if (!info.Background && !ctrlHeld)
        PageControl1->SetActivePageIndex(index);
    RecalcTabWidth();
}

void TFormMain::CloseTab(int index)
{
    // Only the tabs the strip shows can close, never the first one: page 0,
    // the placeholder and a popup still waiting for its tab stay.
    const int count = PageControl1->PageCount();
    TTabPage* page = PageControl1->Page(index);
    if (!page || index <= 1 || index >= count - 1 || !page->TabVisible)
        return;
    if (TBrowserTab* tab = FindTab(page->Tag); tab && tab->Browser)
        tab->Browser->StopLoad();
    FLoadingPages.removeOne(index);
    for (int i = 0; i < count && i < TabSlotCount; ++i) {
        if (FTabSlots[static_cast<size_t>(i)].PageIndex == index) {
            FTabSlots[static_cast<size_t>(i)] = TTabSlot{};
            break;
        }
    }
    if (TBrowserTab* tab = FindTab(page->Tag))
        DisposeTab(tab);
    // Records that still point at the page (a popup registered twice) go too.
    std::vector<TBrowserTab*> stale;
    for (const auto& record : FTabRecords)
        if (record->Sheet == page)
            stale.push_back(record.get());
    for (TBrowserTab* record : stale)
        DisposeTab(record);
    PageControl1->DeletePage(index);

    const int newCount = PageControl1->PageCount();
    int active = index;
    if (index > 0 && index == newCount - 1)
        active = index - 1;
    PageControl1->SetActivePageIndex(active);
    PageControl1Change();
}

void TFormMain::RecalcTabWidth()
{
    const int available = PageControl1->width() - 90;
    const int tabs = PageControl1->PageCount() - 2;
    int width = DesignTabWidth;
    if (tabs > 0 && available <= tabs * DesignTabWidth)
        width = qMax(0, available) / tabs;
    PageControl1->SetTabWidth(width);
}

void TFormMain::FitTabWindow(TBrowserTab* tab)
{
    if (!tab || !tab->Window || !tab->Sheet)
        return;
    tab->Window->setGeometry(0, 0, tab->Sheet->width(), tab->Sheet->height());
}

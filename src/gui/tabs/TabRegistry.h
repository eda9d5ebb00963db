#pragma once

#include "tabs/TabTypes.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <memory>
#include <vector>

class TBrowserEngine;
class TChromium;
class TPageControl;
class TTabPage;

// Owns the tabs of the main window: the pages of the tab control, what each
// page's tab shows (caption, visibility), one record per tab, the ids, the
// loading list and the hidden placeholder page that the next tab (or popup)
// is made in. The control, the strip and the window only observe it through
// its queries and signals; nobody else changes tab state.
//
// Pages: 0 holds the design-time view (never a visible tab), 1 is the first
// tab (never closed), the last page is the hidden placeholder once the first
// tab is open. Ids are never reused.
class TTabRegistry : public QObject, public TTabModel
{
    Q_OBJECT

public:
    static constexpr int DesignTabWidth = 178;
    static constexpr int StripReserve = 90; // pixels of the strip no tab takes

    TTabRegistry(TPageControl& pages, TBrowserEngine& engine, QObject* parent = nullptr);
    ~TTabRegistry() override;

    // Makes pages 0 (with the design-time view) and 1 ("正在检测安全环境..."),
    // page 1 active. Called once, before anything else.
    void CreatePages();
    // Makes the first tab's view ahead of its address, so the engine's start
    // overlaps the work that builds the address. Optional.
    void PrepareLoginView();

    TChromium* DesignView() const { return FDesignView; }
    TBrowserTab* FindTab(int id) const;
    TBrowserTab* ActiveTab() const;
    // The active tab when it shows a page: what keys, find and zoom act on.
    TBrowserTab* ActiveBrowserTab() const;
    // Whether view shows in the first tab (the login page's, never closed).
    bool IsFirstTab(const TChromium* view) const;
    // The records of the tabs the strip shows, in page order.
    std::vector<TBrowserTab*> VisibleTabs() const;
    // Whether the page at index has a tab in the strip.
    bool TabVisible(int index) const override;
    // Whether each page's tab shows, in page order.
    std::vector<bool> TabVisibility() const;
    // The caption of the page at index (what the window's title shows).
    QString Caption(int index) const;
    // What its tab reads: the caption, after a warning where one is due.
    QString TabText(int index) const override;
    // Makes the page at index active (keys); false when it is already or there is none.
    bool Activate(int index);
    // Makes the visible tab showing view active; false when view has none.
    bool ActivateTabOf(const TChromium* view);
    // The page a view shows in, or nullptr.
    TTabPage* PageOf(const TChromium* view) const;
    // The index of a page, or -1 once it is gone.
    int IndexOfPage(const QWidget* page) const;
    int NextTabId() const { return FNextTabId; }
    TTabPage* Placeholder() const { return FPlaceholderWnd; }
    // Page indexes of the tabs whose page loads; an entry may outlive its
    // tab when pages move after a close.
    const QList<int>& LoadingPages() const { return FLoadingPages; }

    void OpenAddressTab(const QString& address);
    void OpenPopupTab(const TPopupInfo& info);
    void CloseTab(int index);
    // Closes the tab with this id wherever it stands now; nothing when it is
    // gone or is the first tab.
    void CloseTabWithId(int id);
    // The id of the page at index (0 for none).
    int IdAt(int index) const;
    void RecalcTabWidth();
    void FitTabWindow(TBrowserTab* tab);

    // A new view for a page's popup, made in the placeholder (a fresh one
    // when the current one already holds a popup); nullptr before the first
    // tab exists. The tab follows with OpenPopupTab.
    TChromium* NewPopupView();
    // A page's title: the caption of its tab (the first tab keeps the
    // program's title). A popup titled before its tab exists is registered
    // here. False when the view has no tab or the title is blank.
    bool SetTitle(TChromium* view, const QString& title);
    // Sets a page's caption; an empty one reads "新页面".
    void SetCaption(TTabPage* page, const QString& caption);
    // Marks the tab of view as showing a page whose certificate the user
    // chose to accept: its tab's text then starts with a warning.
    void SetCertificateWarning(const TChromium* view, bool warn);
    void SetTabLoading(TChromium* view, bool loaded);

Q_SIGNALS:
    // A view was made for a page; connect to it before it loads anything.
    void ViewCreated(TChromium* view);
    void TabAdded(int index);
    // The tab at index is about to close; its view still exists.
    void TabClosing(int index, TChromium* view);
    // The tab with this id closed; index is where it stood.
    void TabRemoved(int index, int id);
    // The active page changed: the user chose a tab, or a close or a key did.
    void ActiveChanged(int index);
    void CaptionChanged(int index);
    // A tab's load started or ended; wasLoading: it was shown loading before
    // (a new tab is, until its first load ends).
    void LoadingChanged(int index, bool loading, bool wasLoading);

private:
    TBrowserTab* NewTabRecord(TChromium* browser, TTabPage* page);
    void DisposeTab(TBrowserTab* tab);
    TChromium* NewBrowserView(TTabPage* page);
    void AddPlaceholderPage();
    // The control's pages change only here, with what their tabs show.
    void AddPage(TTabPage* page, const QString& caption, bool visible);
    void DeletePage(int index);
    void SetTabVisible(int index, bool visible);

    // What a page's tab shows, by page index.
    struct TPageTab
    {
        QString Caption;
        bool Visible = true;
        bool CertificateWarning = false;
    };

    TPageControl& FPages;
    QPointer<TPageControl> FPagesAlive;
    TBrowserEngine& FEngine;
    TChromium* FDesignView = nullptr;
    int FNextTabId = 1;
    std::vector<TPageTab> FPageTabs; // in step with the control's pages
    QMultiHash<int, TBrowserTab*> FTabMap; // the record added last for an id is the one found
    std::vector<std::unique_ptr<TBrowserTab>> FTabRecords; // owns every record
    QList<int> FLoadingPages;
    QSet<int> FClosingAfterDialog; // tab ids whose close waits for their page's box
    QPointer<TTabPage> FPlaceholderWnd;
    bool FPlaceholderHoldsPopup = false; // a popup was put there and waits to become a tab
    QPointer<TChromium> FLoginView; // made ahead for page 1, not yet a tab's view
};

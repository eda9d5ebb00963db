#pragma once

#include <QPixmap>
#include <QWidget>

#include <vector>

class QStackedWidget;
class QTimer;

// One page of the tab control: its content and the id of its tab. What its
// tab shows is the tab registry's.
class TTabPage : public QWidget
{
public:
    using QWidget::QWidget;

    int Tag = 0;
};

// Which pages have a tab; the tab registry answers.
class TTabModel
{
public:
    virtual ~TTabModel() = default;
    virtual bool TabVisible(int index) const = 0;
    // What the tab reads (screen readers get it as the tab's name).
    virtual QString TabText(int index) const { (void)index; return {}; }
};

// Draws what a tab shows over its background. Paint only: it reads state
// and never changes it.
class TTabDrawer
{
public:
    virtual ~TTabDrawer() = default;
    // Rct is the tab's own area (origin at its top-left corner).
    virtual void PageControl1DrawSkinTab(int TabIndex, const QRect& Rct, bool Active, bool MouseIn,
                                         QPainter& Cnvs) const = 0;
};

// A tab control with fixed-size, owner-drawn tabs along its top edge. Hidden
// pages take no room; visible tabs follow each other from the left edge
// without gaps, in page order. The control draws each tab's background and
// hands the rest of the drawing to its drawer.
class TPageControl : public QWidget
{
    Q_OBJECT

public:
    static constexpr int TabHeight = 29;

    explicit TPageControl(QWidget* parent = nullptr);

    int PageCount() const { return static_cast<int>(FPages.size()); }
    TTabPage* Page(int index) const;
    int IndexOf(const QWidget* page) const;

    // Appends page (the control takes ownership) and gives its index. The
    // model answers for it already.
    int AddPage(TTabPage* page);
    // Removes and destroys the page at index; the active index is left to the caller.
    void DeletePage(int index);

    int ActivePageIndex() const { return FActive; }
    // Selecting in code does not raise Changed.
    void SetActivePageIndex(int index);
    // Selects the page's tab as a press on it does (raises Changed).
    void SelectTab(int index);
    // A tab's text changed: screen readers hear of it.
    void TabTextChanged(int index);
    const TTabModel* Model() const { return FModel; }
    // Not owned; without one every page has a tab.
    void SetModel(const TTabModel* model);
    // The model's visibility changed: the tabs are laid out again.
    void TabsChanged();

    int TabWidth() const { return FTabWidth; }
    void SetTabWidth(int width);

    // The visible tab's rectangle in client coordinates; empty for hidden pages.
    QRect TabRect(int index) const;
    // The page whose tab is at point, or -1.
    int TabAt(const QPoint& point) const;

    // Marks the strip for the window's next frame. Changes that come
    // together are drawn together: each frame is composed as a whole.
    void InvalidateTabs();
    // The same for the tabs of these pages only.
    void InvalidateTabs(const QList<int>& indexes);

    // Not owned; it outlives the control or unsets itself first.
    void SetDrawer(const TTabDrawer* drawer) { FDrawer = drawer; }

    QWidget* ContentArea() const;
    // A bar shown between the strip and the pages while it is visible (the
    // control takes ownership).
    void SetBar(QWidget* bar);

    // Hides the strip, so the pages take the whole control (a page's full screen).
    void SetStripHidden(bool hidden);
    bool StripHidden() const { return FStripHidden; }

Q_SIGNALS:
    // Mouse events over the strip, in client coordinates.
    void MouseDown(Qt::MouseButton button, const QPoint& pos);
    void MouseMove(const QPoint& pos);
    void MouseUp(Qt::MouseButton button, const QPoint& pos);
    // The user selected another tab.
    void Changed();
    // The control took a new size.
    void Resized();
    // A screen reader's "close" on a tab.
    void CloseTabRequested(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void DrawTab(QPainter& painter, int index, const QRect& place);
    void LayoutContent();
    void UpdatePositions();

    std::vector<TTabPage*> FPages;
    std::vector<int> FPositions;    // per page: its tab's place from the left, -1 when hidden
    std::vector<int> FVisiblePages; // per place from the left: the page shown there
    QStackedWidget* FStack = nullptr;
    QWidget* FBar = nullptr;
    int FActive = -1;
    int FTabWidth = 178;
    QPoint FMousePos{-1, -1};
    const TTabDrawer* FDrawer = nullptr;
    const TTabModel* FModel = nullptr;
    bool FStripHidden = false;
};

#include "tabs/TabStrip.h"

#include "tabs/TabArtwork.h"
#include "tabs/TabCaption.h"
#include "tabs/TabRegistry.h"

#include <QFontMetrics>
#include <QPainter>
#include <QSet>
#include <QTimer>

TTabGeometry TabLayout::Geometry(int tabLeft, int tabWidth, int textHeight)
{
    const int y = (TPageControl::TabHeight - textHeight) / 2 + 2;
    const int cx = tabWidth - CloseFromRight;
    const int ax = tabLeft + cx;
    TTabGeometry geometry;
    geometry.Tab = {tabLeft, 0, tabLeft + tabWidth, TPageControl::TabHeight};
    geometry.Close = {ax, y, ax + CloseBox, y + CloseBox};
    geometry.Caption = QRect(TextLeft, y, qMax(0, cx - TextLeft), textHeight);
    geometry.CaptionLimit = cx;
    geometry.Icon = QPoint(IconLeft, IconTop);
    geometry.CloseImage = QPoint(cx, y + CloseImageDrop);
    return geometry;
}

TTabStrip::TTabStrip(TPageControl& control, TTabRegistry& registry, QObject* parent)
    : QObject(parent), FControl(control), FRegistry(registry)
{
    FTimerRefreshTab = new QTimer(this);
    FTimerRefreshTab->setInterval(RefreshIntervalMs);
    connect(FTimerRefreshTab, &QTimer::timeout, this, &TTabStrip::TimerRefreshTabTimer);

    FControl.SetDrawer(this);
    connect(&FControl, &TPageControl::MouseDown, this, &TTabStrip::PageControl1MouseDown);
    connect(&FControl, &TPageControl::MouseMove, this, &TTabStrip::PageControl1MouseMove);
    connect(&FControl, &TPageControl::MouseUp, this, &TTabStrip::PageControl1MouseUp);
    connect(&FRegistry, &TTabRegistry::CaptionChanged, this, [this](int index) { RefreshTabs({index}); });
    connect(&FRegistry, &TTabRegistry::LoadingChanged, this, &TTabStrip::RegistryLoadingChanged);
    connect(&FRegistry, &TTabRegistry::TabRemoved, this, &TTabStrip::RegistryTabRemoved);
    connect(&FRegistry, &TTabRegistry::TabAdded, this, [this] { FControl.InvalidateTabs(); });
}

void TTabStrip::Stop()
{
    FStopped = true;
    FTimerRefreshTab->stop();
}

bool TTabStrip::PointerAway(int index) const
{
    return index >= 0 && index < TabSlotCount && FPointerAway[static_cast<size_t>(index)];
}

TTabStrip::~TTabStrip()
{
    FControl.SetDrawer(nullptr);
}

std::optional<TTabGeometry> TTabStrip::GeometryOf(int index) const
{
    const QRect place = FControl.TabRect(index);
    if (place.isEmpty())
        return std::nullopt;
    return TabLayout::Geometry(place.left(), place.width(), QFontMetrics(FControl.font()).height());
}

void TTabStrip::PageControl1DrawSkinTab(int TabIndex, const QRect& Rct, bool, bool, QPainter& Cnvs) const
{
    if (FStopped)
        return;
    const TTabPage* page = FControl.Page(TabIndex);
    if (!page)
        return;
    const qreal ratio = Cnvs.device() ? Cnvs.device()->devicePixelRatioF() : 1.0;
    const QFontMetrics metrics(Cnvs.font());
    const TTabGeometry geometry =
        TabLayout::Geometry(FControl.TabRect(TabIndex).left(), Rct.width(), metrics.height());

    if (const TBrowserTab* tab = FRegistry.FindTab(page->Tag)) {
        Cnvs.drawPixmap(geometry.Icon, tab->Loaded ? TabArtwork::FavIconNew(ratio)
                                                   : TabArtwork::LoadingFrame(FrameOf(page->Tag), ratio));
    }
    const QString caption = ShortCaption(FRegistry.TabText(TabIndex), metrics, geometry.CaptionLimit);
    Cnvs.drawText(geometry.Caption, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption);
    if (TabIndex > 1)
        Cnvs.drawPixmap(geometry.CloseImage, TabArtwork::TabClose(geometry.Close.Contains(FLastMousePos), ratio));
}

QString TTabStrip::ShortCaption(const QString& caption, const QFontMetrics& metrics, int limit) const
{
    if (const auto found = FCuts.constFind(caption); found != FCuts.constEnd() && found->Limit == limit)
        return found->Text;
    if (FCuts.size() > 4096)
        FCuts.clear(); // titles come and go; keep the memory bounded
    const QString cut = ShortenTabCaption(caption, metrics, limit);
    FCuts.insert(caption, {limit, cut});
    return cut;
}

void TTabStrip::AdvanceFrames()
{
    // Ids, not pages: two pages may carry the id of one tab.
    QSet<int> ids;
    for (int i = 0; i < FControl.PageCount(); ++i)
        ids.insert(FControl.Page(i)->Tag);
    for (const int id : ids)
        if (const TBrowserTab* tab = FRegistry.FindTab(id); tab && !tab->Loaded)
            FFrames[id] = (FrameOf(id) + 1) % TabArtwork::LoadingFrameCount;
}

void TTabStrip::Refresh()
{
    AdvanceFrames();
    FControl.InvalidateTabs();
}

void TTabStrip::RefreshTabs(const QList<int>& indexes)
{
    AdvanceFrames();
    FControl.InvalidateTabs(indexes);
}

void TTabStrip::RegistryTabRemoved(int index, int id)
{
    FFrames.remove(id);
    // The hover of the closed tab's place starts afresh.
    if (index >= 0 && index < TabSlotCount)
        FPointerAway[static_cast<size_t>(index)] = false;
    FControl.InvalidateTabs();
}

void TTabStrip::RegistryLoadingChanged(int index, bool loading, bool wasLoading)
{
    if (loading && !FTimerRefreshTab->isActive())
        FTimerRefreshTab->start();
    // A load that starts on a tab already shown loading changes nothing
    // drawn (the timer moves the animation on). Redrawn now, it would cost
    // the whole window a frame just as its first page is on its way.
    if (loading && wasLoading)
        return;
    RefreshTabs({index});
}

void TTabStrip::PageControl1MouseDown(Qt::MouseButton Button, const QPoint&)
{
    if (FLastPressTime && FLastPressTime->elapsed() < DoublePressMs && Button == Qt::LeftButton) {
        const int active = FControl.ActivePageIndex();
        if (active != 1)
            Q_EMIT CloseRequested(active);
        return; // the press time stays: a third quick press closes again
    }
    FLastPressTime.emplace();
    FLastPressTime->start();
}

void TTabStrip::PageControl1MouseMove(const QPoint& Pos)
{
    FLastMousePos = Pos;
    const int count = qMin(FControl.PageCount(), TabSlotCount);
    for (int i = 0; i < count; ++i) {
        bool& away = FPointerAway[static_cast<size_t>(i)];
        const std::optional<TTabGeometry> geometry = GeometryOf(i);
        const bool inside = geometry && geometry->Close.Contains(Pos);
        // Repaint only when the pointer enters or leaves a close button.
        if (inside == away)
            RefreshTabs({i});
        away = !inside;
    }
}

void TTabStrip::PageControl1MouseUp(Qt::MouseButton Button, const QPoint& Pos)
{
    if (Button == Qt::LeftButton) {
        const int active = FControl.ActivePageIndex();
        if (active == 1)
            return;
        if (const std::optional<TTabGeometry> geometry = GeometryOf(active); geometry && geometry->Close.Contains(Pos))
            Q_EMIT CloseRequested(active);
        return;
    }
    if (Button == Qt::MiddleButton) {
        for (int i = 1; i <= FControl.PageCount() - 2; ++i) {
            if (const std::optional<TTabGeometry> geometry = GeometryOf(i); geometry && geometry->Tab.Contains(Pos)) {
                if (i != 1)
                    Q_EMIT CloseRequested(i);
                return;
            }
        }
    }
}

void TTabStrip::TimerRefreshTabTimer()
{
    RefreshTabs(FRegistry.LoadingPages()); // only loading tabs change
    if (FRegistry.LoadingPages().size() <= 1)
        FTimerRefreshTab->stop();
}

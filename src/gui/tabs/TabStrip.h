#pragma once

#include "tabs/PageControl.h"
#include "tabs/TabTypes.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QRect>

#include <array>
#include <optional>

class QFontMetrics;
class QTimer;
class TTabRegistry;

// Where the parts of one tab are. Paint and hit-testing both use it, so a
// click always meets what was drawn.
struct TTabGeometry
{
    TRect Tab;       // the whole tab, in the control's client coordinates
    TRect Close;     // the close button's hit box, client coordinates
    QRect Caption;   // the caption's room, in the tab's own coordinates
    int CaptionLimit = 0; // text left plus caption width may not pass it
    QPoint Icon;     // page icon or loading frame, tab coordinates
    QPoint CloseImage; // the close cross, tab coordinates
};

namespace TabLayout {

inline constexpr int IconLeft = 5;
inline constexpr int IconTop = 7;
inline constexpr int TextLeft = 25;
inline constexpr int CloseFromRight = 19; // close button and text limit, from the tab's right edge
inline constexpr int CloseBox = 12;
inline constexpr int CloseImageDrop = 2;

// The geometry of a tab whose left edge is at tabLeft (client coordinates),
// tabWidth wide, for captions textHeight high.
TTabGeometry Geometry(int tabLeft, int tabWidth, int textHeight);

} // namespace TabLayout

// The tab strip's behaviour over the tab control: what each tab shows, the
// close gestures (close button, double press, middle click), the pointer
// over the close buttons and the loading animation with its refresh timer.
// It observes the registry and never changes it: gestures only ask for a
// close, which the window carries out through the registry.
class TTabStrip : public QObject, public TTabDrawer
{
    Q_OBJECT

public:
    static constexpr int DoublePressMs = 300;
    static constexpr int RefreshIntervalMs = 250;
    // Pages whose close button hover is followed; tabs past them still work.
    static constexpr int TabSlotCount = 1025;

    TTabStrip(TPageControl& control, TTabRegistry& registry, QObject* parent = nullptr);
    ~TTabStrip() override;

    void PageControl1DrawSkinTab(int TabIndex, const QRect& Rct, bool Active, bool MouseIn,
                                 QPainter& Cnvs) const override;
    void PageControl1MouseDown(Qt::MouseButton Button, const QPoint& Pos);
    void PageControl1MouseMove(const QPoint& Pos);
    void PageControl1MouseUp(Qt::MouseButton Button, const QPoint& Pos);
    void TimerRefreshTabTimer();

    // Moves the loading animations on by one frame and redraws with the
    // window's next frame: the whole strip, or only the tabs of these pages.
    void Refresh();
    void RefreshTabs(const QList<int>& indexes);

    // The geometry of the page's tab; nothing for a page without a visible tab.
    std::optional<TTabGeometry> GeometryOf(int index) const;

    QTimer* TimerRefreshTab() const { return FTimerRefreshTab; }
    QPoint LastMousePos() const { return FLastMousePos; }
    // The pointer was last seen outside the close button of the page's tab.
    bool PointerAway(int index) const;
    // The loading animation's frame of the tab with this id.
    int FrameOf(int id) const { return FFrames.value(id, 0); }

    // The program ends: no more drawing and no more animation.
    void Stop();

Q_SIGNALS:
    // A gesture asks to close the tab at the page index (never the first tab).
    void CloseRequested(int index);

private:
    void RegistryLoadingChanged(int index, bool loading, bool wasLoading);
    void RegistryTabRemoved(int index, int id);
    // Moves the animation of every loading tab on by one frame.
    void AdvanceFrames();
    // The caption cut to its room; remembered, since measuring text is the
    // dearest part of a paint and captions rarely change.
    QString ShortCaption(const QString& caption, const QFontMetrics& metrics, int limit) const;

    TPageControl& FControl;
    TTabRegistry& FRegistry;
    bool FStopped = false;
    QTimer* FTimerRefreshTab = nullptr;
    std::array<bool, TabSlotCount> FPointerAway{}; // by page index
    QHash<int, int> FFrames;                       // by tab id
    std::optional<QElapsedTimer> FLastPressTime; // none: long ago
    QPoint FLastMousePos{-1, -1};
    struct TCut
    {
        int Limit = 0;
        QString Text;
    };
    mutable QHash<QString, TCut> FCuts;
};

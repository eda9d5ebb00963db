// The main window's tab strip: what each tab shows, and the mouse gestures.

#include "shell/Main.h"

#include "shell/PageControl.h"
#include "shell/ShellMessages.h"
#include "shell/TabArtwork.h"
#include "shell/TabCaption.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTimer>


void TFormMain::PageControl1DrawSkinTab(int TabIndex, const QRect& Rct, bool, bool, QPainter& Cnvs)
{
    if (FClosing)
        return;
    TTabPage* page = PageControl1->Page(TabIndex);
    if (!page)
        return;
    const qreal ratio = Cnvs.device() ? Cnvs.device()->devicePixelRatioF() : 1.0;
    const int W = Rct.width();
    const int H = TPageControl::TabHeight;
    const int left = PageControl1->TabRect(TabIndex).left();

    if (page->Caption.isEmpty())
        page->Caption = QStringLiteral("新页面");

    if (TBrowserTab* tab = FindTab(page->Tag)) {
        if (!tab->Loaded) {
            Cnvs.drawPixmap(5, 7, TabArtwork::LoadingFrame(tab->Frame, ratio));
            tab->Frame = (tab->Frame + 1) % TabArtwork::LoadingFrameCount;
        } else {
            Cnvs.drawPixmap(5, 7, TabArtwork::FavIconNew(ratio));
        }
    }

    const QFontMetrics metrics(Cnvs.font());
    const int h = metrics.height();
    const int y = (H - h) / 2 + 2;
    const int limit = W - 19;
    const QString caption = ShortenTabCaption(page->Caption, metrics, limit);
    Cnvs.drawText(QRect(25, y, qMax(0, limit - 25), h), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, caption);

    const int cx = W - 19;
    const int ax = cx + left;
    TTabSlot* slot = SlotAt(TabIndex);
    if (slot)
        slot->CloseRect = {ax, y, ax + 12, y + 12};
    if (TabIndex > 1) {
        const bool hover = slot && slot->CloseRect.Contains(FLastMousePos);
        Cnvs.drawPixmap(cx, y + 2, TabArtwork::TabClose(hover, ratio));
    }
    if (slot)
        slot->TabRect = {Rct.left() + left, Rct.top(), Rct.right() + 1 + left, Rct.bottom() + 1};
}

void TFormMain::PageControl1MouseDown(Qt::MouseButton Button, const QPoint&)
{
    if (FLastPressTime && FLastPressTime->elapsed() < 300 && Button == Qt::LeftButton) {
        const int active = PageControl1->ActivePageIndex();
        if (active != 1)
            PostShellMessage(this, WM_SHELL_CLOSE_TAB, active);
        return; // the press time stays: a third quick press closes again
    }
    FLastPressTime.emplace();
    FLastPressTime->start();
}

void TFormMain::PageControl1MouseMove(const QPoint& Pos)
{
    FLastMousePos = Pos;
    const int count = qMin(PageControl1->PageCount(), TabSlotCount);
    for (int i = 0; i < count; ++i) {
        TTabSlot& slot = FTabSlots[static_cast<size_t>(i)];
        if (slot.CloseRect.Contains(Pos)) {
            if (slot.PointerAway)
                PageControl1->RepaintTabs();
            slot.PointerAway = false;
        } else {
            if (!slot.PointerAway)
                PageControl1->RepaintTabs();
            slot.PointerAway = true;
        }
    }
}

void TFormMain::PageControl1MouseUp(Qt::MouseButton Button, const QPoint& Pos)
{
    if (Button == Qt::LeftButton) {
        const int active = PageControl1->ActivePageIndex();
        if (active == 1)
            return;
        if (const TTabSlot* slot = SlotAt(active); slot && slot->CloseRect.Contains(Pos))
            PostShellMessage(this, WM_SHELL_CLOSE_TAB, active);
        return;
    }
    if (Button == Qt::MiddleButton) {
        const int last = qMin(PageControl1->PageCount() - 2, TabSlotCount - 1);
        for (int i = 1; i <= last; ++i) {
            if (FTabSlots[static_cast<size_t>(i)].TabRect.Contains(Pos)) {
                if (i != 1)
                    PostShellMessage(this, WM_SHELL_CLOSE_TAB, i);
                return;
            }
        }
    }
}

void TFormMain::TimerRefreshTabTimer()
{
    PageControl1->RepaintTabs();
    if (FLoadingPages.size() <= 1)
        TimerRefreshTab->stop();
}

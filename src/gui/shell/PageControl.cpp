#include "shell/PageControl.h"

#include "shell/TabArtwork.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStackedWidget>

TPageControl::TPageControl(QWidget* parent)
    : QWidget(parent)
{
    FStack = new QStackedWidget(this);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    QFont tabFont(QStringLiteral("Arial"));
    tabFont.setPixelSize(14);
    setFont(tabFont);
}

QWidget* TPageControl::ContentArea() const
{
    return FStack;
}

TTabPage* TPageControl::Page(int index) const
{
    return index >= 0 && index < PageCount() ? FPages[static_cast<size_t>(index)] : nullptr;
}

int TPageControl::IndexOf(const QWidget* page) const
{
    for (int i = 0; i < PageCount(); ++i)
        if (FPages[static_cast<size_t>(i)] == page)
            return i;
    return -1;
}

int TPageControl::AddPage(TTabPage* page)
{
    FStack->addWidget(page);
    FPages.push_back(page);
    if (FActive < 0 && page->TabVisible)
        SetActivePageIndex(PageCount() - 1);
    update();
    return PageCount() - 1;
}

void TPageControl::DeletePage(int index)
{
    TTabPage* page = Page(index);
    if (!page)
        return;
    FPages.erase(FPages.begin() + index);
    FStack->removeWidget(page);
    delete page;
    if (FActive >= PageCount() || FActive == index)
        FActive = -1;
    else if (FActive > index)
        --FActive;
    update();
}

void TPageControl::SetActivePageIndex(int index)
{
    TTabPage* page = Page(index);
    if (!page)
        return;
    FActive = index;
    FStack->setCurrentWidget(page);
    update();
}

void TPageControl::SetTabVisible(int index, bool visible)
{
    if (TTabPage* page = Page(index)) {
        page->TabVisible = visible;
        update();
    }
}

void TPageControl::SetTabWidth(int width)
{
    if (width != FTabWidth) {
        FTabWidth = qMax(0, width);
        update();
    }
}

QRect TPageControl::TabRect(int index) const
{
    const TTabPage* page = Page(index);
    if (!page || !page->TabVisible)
        return {};
    int position = 0;
    for (int i = 0; i < index; ++i)
        if (FPages[static_cast<size_t>(i)]->TabVisible)
            ++position;
    return QRect(position * FTabWidth, 0, FTabWidth, TabHeight);
}

int TPageControl::TabAt(const QPoint& point) const
{
    if (point.y() < 0 || point.y() >= TabHeight || FTabWidth <= 0 || point.x() < 0)
        return -1;
    int position = 0;
    const int wanted = point.x() / FTabWidth;
    for (int i = 0; i < PageCount(); ++i) {
        if (!FPages[static_cast<size_t>(i)]->TabVisible)
            continue;
        if (position == wanted)
            return i;
        ++position;
    }
    return -1;
}

void TPageControl::RepaintTabs()
{
    repaint(0, 0, width(), TabHeight);
}

void TPageControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutContent();
}

void TPageControl::SetBar(QWidget* bar)
{
    FBar = bar;
    bar->setParent(this);
    bar->installEventFilter(this);
    LayoutContent();
}

bool TPageControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FBar && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        LayoutContent();
    return QWidget::eventFilter(watched, event);
}

void TPageControl::LayoutContent()
{
    int top = TabHeight;
    if (FBar && !FBar->isHidden()) {
        const int barHeight = FBar->sizeHint().height();
        FBar->setGeometry(0, top, width(), barHeight);
        top += barHeight;
    }
    FStack->setGeometry(0, top, width(), qMax(0, height() - top));
}

void TPageControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), TabHeight), TabArtwork::StripBackground());
    painter.setPen(TabArtwork::StripLine());
    painter.drawLine(0, TabHeight - 1, width(), TabHeight - 1);
    for (int i = 0; i < PageCount(); ++i)
        if (i != FActive)
            DrawTab(painter, i);
    if (FActive >= 0)
        DrawTab(painter, FActive); // the active tab last, over its neighbours
}

void TPageControl::DrawTab(QPainter& painter, int index)
{
    const QRect place = TabRect(index);
    if (place.isEmpty() || place.left() >= width())
        return;
    const bool active = index == FActive;
    const bool mouseIn = place.contains(FMousePos);
    const qreal ratio = devicePixelRatioF();
    // Each tab is drawn on an image of its own, its background already in
    // place; the image is reused while the tab size stays the same.
    QPixmap& canvas = FCanvas;
    if (canvas.size() != place.size() * ratio || canvas.devicePixelRatio() != ratio) {
        canvas = QPixmap(place.size() * ratio);
        canvas.setDevicePixelRatio(ratio);
    }
    canvas.fill(Qt::transparent);
    {
        QPainter tabPainter(&canvas);
        tabPainter.drawPixmap(0, 0, TabArtwork::TabBackground(active, mouseIn, place.size(), ratio));
        tabPainter.setFont(font());
        tabPainter.setPen(TabArtwork::TextColor(active));
        tabPainter.setBrush(Qt::NoBrush);
        if (FDrawer)
            FDrawer->PageControl1DrawSkinTab(index, QRect(QPoint(0, 0), place.size()), active, mouseIn, tabPainter);
    }
    painter.drawPixmap(place.topLeft(), canvas);
}

void TPageControl::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        const int index = TabAt(pos);
        if (index >= 0 && index != FActive) {
            SetActivePageIndex(index);
            Q_EMIT Changed();
        }
    }
    if (pos.y() < TabHeight)
        Q_EMIT MouseDown(event->button(), pos);
}

void TPageControl::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int before = TabAt(FMousePos);
    FMousePos = pos;
    if (TabAt(pos) != before)
        update(0, 0, width(), TabHeight); // the hovered tab's background changes
    Q_EMIT MouseMove(pos);
}

void TPageControl::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (pos.y() < TabHeight)
        Q_EMIT MouseUp(event->button(), pos);
}

void TPageControl::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    FMousePos = QPoint(-1, -1);
    Q_EMIT MouseMove(FMousePos);
    update(0, 0, width(), TabHeight);
}

#include "tabs/PageControl.h"

#include "tabs/TabArtwork.h"
#include "tabs/TabStripAccessible.h"

#include <QAccessible>

#include <QMouseEvent>
#include <QPainter>
#include <QStackedWidget>

TPageControl::TPageControl(QWidget* parent)
    : QWidget(parent)
{
    InstallTabStripAccessibility();
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
    UpdatePositions();
    if (FActive < 0 && FPositions.back() >= 0)
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
    UpdatePositions();
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
    if (QAccessible::isActive()) {
        const int place = FPositions.size() > static_cast<size_t>(index) ? FPositions[static_cast<size_t>(index)] : -1;
        if (place >= 0) {
            QAccessibleEvent event(this, QAccessible::Selection);
            event.setChild(place);
            QAccessible::updateAccessibility(&event);
        }
    }
}

void TPageControl::SelectTab(int index)
{
    if (index < 0 || index == FActive || TabRect(index).isEmpty())
        return;
    SetActivePageIndex(index);
    Q_EMIT Changed();
}

void TPageControl::TabTextChanged(int index)
{
    if (!QAccessible::isActive())
        return;
    const int place = index >= 0 && index < static_cast<int>(FPositions.size()) ? FPositions[static_cast<size_t>(index)] : -1;
    if (place < 0)
        return;
    QAccessibleEvent event(this, QAccessible::NameChanged);
    event.setChild(place);
    QAccessible::updateAccessibility(&event);
}

void TPageControl::SetModel(const TTabModel* model)
{
    FModel = model;
    TabsChanged();
}

void TPageControl::TabsChanged()
{
    UpdatePositions();
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::ObjectReorder);
        QAccessible::updateAccessibility(&event);
    }
}

void TPageControl::SetTabWidth(int width)
{
    if (width != FTabWidth) {
        FTabWidth = qMax(0, width);
        update();
    }
}

void TPageControl::UpdatePositions()
{
    FPositions.resize(FPages.size());
    FVisiblePages.clear();
    for (size_t i = 0; i < FPages.size(); ++i) {
        const bool visible = !FModel || FModel->TabVisible(static_cast<int>(i));
        FPositions[i] = visible ? static_cast<int>(FVisiblePages.size()) : -1;
        if (visible)
            FVisiblePages.push_back(static_cast<int>(i));
    }
}

QRect TPageControl::TabRect(int index) const
{
    if (!Page(index) || FPositions[static_cast<size_t>(index)] < 0)
        return {};
    return QRect(FPositions[static_cast<size_t>(index)] * FTabWidth, 0, FTabWidth, TabHeight);
}

int TPageControl::TabAt(const QPoint& point) const
{
    if (FStripHidden || point.y() < 0 || point.y() >= TabHeight || FTabWidth <= 0 || point.x() < 0)
        return -1;
    const size_t wanted = static_cast<size_t>(point.x() / FTabWidth);
    return wanted < FVisiblePages.size() ? FVisiblePages[wanted] : -1;
}

void TPageControl::InvalidateTabs()
{
    update(0, 0, width(), TabHeight);
}

void TPageControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayoutContent();
    Q_EMIT Resized();
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
    int top = FStripHidden ? 0 : TabHeight;
    if (FBar && !FBar->isHidden() && !FStripHidden) {
        const int barHeight = FBar->sizeHint().height();
        FBar->setGeometry(0, top, width(), barHeight);
        top += barHeight;
    } else if (FBar) {
        FBar->setGeometry(0, 0, 0, 0);
    }
    FStack->setGeometry(0, top, width(), qMax(0, height() - top));
}

void TPageControl::SetStripHidden(bool hidden)
{
    if (FStripHidden == hidden)
        return;
    FStripHidden = hidden;
    LayoutContent();
    update();
}

void TPageControl::InvalidateTabs(const QList<int>& indexes)
{
    QRegion region;
    for (const int index : indexes)
        region += TabRect(index);
    region &= QRect(0, 0, width(), TabHeight);
    if (!region.isEmpty())
        update(region);
}

void TPageControl::paintEvent(QPaintEvent* event)
{
    if (FStripHidden)
        return;
    QPainter painter(this);
    painter.fillRect(QRect(0, 0, width(), TabHeight), TabArtwork::StripBackground());
    painter.setPen(TabArtwork::StripLine());
    painter.drawLine(0, TabHeight - 1, width(), TabHeight - 1);
    // Tabs follow each other from the left edge; one pass finds them all.
    const QRect clip = event->rect();
    QRect activePlace;
    int position = 0;
    for (int i = 0; i < PageCount(); ++i) {
        if (FPositions[static_cast<size_t>(i)] < 0)
            continue;
        const QRect place(position++ * FTabWidth, 0, FTabWidth, TabHeight);
        if (place.left() >= width())
            break;
        if (i == FActive)
            activePlace = place;
        else if (place.intersects(clip))
            DrawTab(painter, i, place);
    }
    if (activePlace.intersects(clip))
        DrawTab(painter, FActive, activePlace); // the active tab last, over its neighbours
}

void TPageControl::DrawTab(QPainter& painter, int index, const QRect& place)
{
    const bool active = index == FActive;
    const bool mouseIn = place.contains(FMousePos);
    const qreal ratio = devicePixelRatioF();
    // Each tab is drawn in a canvas of its own: the painter moved to the
    // tab's corner and clipped to it, over the widget's own back buffer.
    painter.save();
    painter.translate(place.topLeft());
    painter.setClipRect(QRect(QPoint(0, 0), place.size()));
    painter.drawPixmap(0, 0, TabArtwork::TabBackground(active, mouseIn, place.size(), ratio));
    painter.setFont(font());
    painter.setPen(TabArtwork::TextColor(active));
    painter.setBrush(Qt::NoBrush);
    if (FDrawer)
        FDrawer->PageControl1DrawSkinTab(index, QRect(QPoint(0, 0), place.size()), active, mouseIn, painter);
    painter.restore();
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

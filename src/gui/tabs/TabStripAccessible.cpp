#include "tabs/TabStripAccessible.h"

#include "tabs/PageControl.h"

#include <QWidget>
#include <QWindow>

namespace {

QAccessibleInterface* TabStripFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TPageControl") && object && object->isWidgetType())
        return new TPageControlAccessible(static_cast<TPageControl*>(object));
    return nullptr;
}

} // namespace

void InstallTabStripAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(&TabStripFactory);
        return true;
    }();
    (void)installed;
}

TPageControlAccessible::TPageControlAccessible(TPageControl* control)
    : QAccessibleWidget(control, QAccessible::PageTabList)
{
}

TPageControlAccessible::~TPageControlAccessible()
{
    for (const QAccessible::Id id : std::as_const(FTabs))
        QAccessible::deleteAccessibleInterface(id);
}

TPageControl* TPageControlAccessible::Control() const
{
    return static_cast<TPageControl*>(widget());
}

int TPageControlAccessible::TabCount() const
{
    int count = 0;
    for (int index = 0; index < Control()->PageCount(); ++index)
        count += !Control()->Model() || Control()->Model()->TabVisible(index) ? 1 : 0;
    return count;
}

int TPageControlAccessible::childCount() const
{
    return TabCount() + QAccessibleWidget::childCount();
}

QAccessibleInterface* TPageControlAccessible::child(int index) const
{
    if (index < 0)
        return nullptr;
    int place = 0;
    for (int page = 0; page < Control()->PageCount(); ++page) {
        if (Control()->Model() && !Control()->Model()->TabVisible(page))
            continue;
        if (place++ != index)
            continue;
        const TTabPage* tabPage = Control()->Page(page);
        const auto found = FTabs.constFind(tabPage);
        if (found != FTabs.constEnd())
            return QAccessible::accessibleInterface(*found);
        // Pages that went leave their interfaces behind: let them go now.
        for (auto it = FTabs.begin(); it != FTabs.end();) {
            if (Control()->IndexOf(it.key()) < 0) {
                QAccessible::deleteAccessibleInterface(it.value());
                it = FTabs.erase(it);
            } else {
                ++it;
            }
        }
        auto* tab = new TPageTabAccessible(Control(), Control()->Page(page));
        FTabs.insert(tabPage, QAccessible::registerAccessibleInterface(tab));
        return tab;
    }
    return QAccessibleWidget::child(index - TabCount());
}

int TPageControlAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    if (child && child->role() == QAccessible::PageTab) {
        for (int index = 0; index < TabCount(); ++index)
            if (this->child(index) == child)
                return index;
        return -1;
    }
    const int own = QAccessibleWidget::indexOfChild(child);
    return own < 0 ? -1 : TabCount() + own;
}

QAccessibleInterface* TPageControlAccessible::childAt(int x, int y) const
{
    const QPoint point = Control()->mapFromGlobal(QPoint(x, y));
    const int page = Control()->TabAt(point);
    if (page >= 0) {
        for (int index = 0; index < TabCount(); ++index) {
            auto* tab = static_cast<TPageTabAccessible*>(child(index));
            if (tab && tab->Page() == Control()->Page(page))
                return tab;
        }
    }
    return QAccessibleWidget::childAt(x, y);
}

QString TPageTabAccessible::CloseAction()
{
    return QStringLiteral("close");
}

TPageTabAccessible::TPageTabAccessible(TPageControl* control, TTabPage* page)
    : FControl(control), FPage(page)
{
}

int TPageTabAccessible::Index() const
{
    return FControl && FPage ? FControl->IndexOf(FPage) : -1;
}

bool TPageTabAccessible::isValid() const
{
    return Index() >= 0;
}

QWindow* TPageTabAccessible::window() const
{
    return FControl ? FControl->window()->windowHandle() : nullptr;
}

QAccessibleInterface* TPageTabAccessible::parent() const
{
    return FControl ? QAccessible::queryAccessibleInterface(FControl.data()) : nullptr;
}

QString TPageTabAccessible::text(QAccessible::Text type) const
{
    if (type != QAccessible::Name || !isValid() || !FControl->Model())
        return {};
    return FControl->Model()->TabText(Index());
}

QRect TPageTabAccessible::rect() const
{
    if (!isValid())
        return {};
    const QRect local = FControl->TabRect(Index());
    return QRect(FControl->mapToGlobal(local.topLeft()), local.size());
}

QAccessible::State TPageTabAccessible::state() const
{
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    state.selectable = true;
    state.focusable = true;
    state.selected = FControl->ActivePageIndex() == Index();
    state.invisible = FControl->StripHidden() || FControl->TabRect(Index()).isEmpty();
    return state;
}

void* TPageTabAccessible::interface_cast(QAccessible::InterfaceType type)
{
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
}

QStringList TPageTabAccessible::actionNames() const
{
    // The first tab (the login page's) never closes.
    return Index() > 1 ? QStringList{pressAction(), CloseAction()} : QStringList{pressAction()};
}

QString TPageTabAccessible::localizedActionDescription(const QString& name) const
{
    if (name == pressAction())
        return QStringLiteral("切换到此标签页");
    if (name == CloseAction())
        return QStringLiteral("关闭此标签页");
    return {};
}

void TPageTabAccessible::doAction(const QString& name)
{
    if (!isValid())
        return;
    if (name == pressAction())
        FControl->SelectTab(Index());
    else if (name == CloseAction() && Index() > 1)
        Q_EMIT FControl->CloseTabRequested(Index());
}

#pragma once

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

class TPageControl;
class TTabPage;

// What screen readers see of the owner-drawn tab strip: a tab list with one
// tab per visible page, named by what the tab reads, the active one
// selected, each with the actions "press" (select) and "close"; the pages'
// content follows as the control's other children.
class TPageControlAccessible : public QAccessibleWidget
{
public:
    explicit TPageControlAccessible(TPageControl* control);
    ~TPageControlAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;

private:
    TPageControl* Control() const;
    int TabCount() const;

    mutable QHash<const TTabPage*, QAccessible::Id> FTabs; // one interface per page, kept while it lives
};

// One tab of the strip: a virtual element without a widget of its own.
class TPageTabAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    static QString CloseAction();

    TPageTabAccessible(TPageControl* control, TTabPage* page);

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text type) const override;
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    QString localizedActionDescription(const QString& name) const override;
    void doAction(const QString& name) override;
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

    const TTabPage* Page() const { return FPage; }

private:
    int Index() const;

    QPointer<TPageControl> FControl;
    QPointer<TTabPage> FPage;
};

// Makes Qt build the interfaces above for every tab control (once per process).
void InstallTabStripAccessibility();

#include "core/Global.h"
#include "widgets/AppMessageBox.h"
#include "shell/Main.h"
#include "windows/About.h"

#include "FormFixture.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>

namespace {

void PressKey(QObject* target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

// Keeps every key, as a page with the focus does.
class TKeyEater : public QObject
{
protected:
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::KeyPress; }
};

class AboutWindow : public testing::Test
{
protected:
    TFakeChromium* View() const { return FEngine.Views.back(); }

    TFakeBrowserEngine FEngine;
};

TEST_F(AboutWindow, BorderlessWindowWithTheAboutPageInsideAOnePixelFrame)
{
    const TFormAbout form(FEngine);
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.size(), QSize(488, 433));
    ASSERT_EQ(FEngine.Views.size(), 1u);
    EXPECT_EQ(form.crm, View());
    EXPECT_EQ(View()->parentWidget(), &form);
    EXPECT_EQ(View()->geometry(), QRect(1, 1, 486, 431));
    EXPECT_EQ(View()->Loads, QStringList{ServiceUrl(QStringLiteral("/pcClient/about.html"))});
}

TEST_F(AboutWindow, ShownWithRoundedCorners)
{
    TFormAbout form(FEngine);
    form.show();
    for (const QRegion& region : {form.mask(), View()->mask()}) {
        const QRect box = region.boundingRect();
        EXPECT_FALSE(box.isEmpty());
        for (const QPoint corner : {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()})
            EXPECT_FALSE(region.contains(corner)) << corner.x() << "," << corner.y();
        EXPECT_TRUE(region.contains(QPoint(box.center().x(), box.top())));
        EXPECT_TRUE(region.contains(QPoint(box.left(), box.center().y())));
    }
    EXPECT_EQ(form.mask().boundingRect(), QRect(0, 0, 488, 433));
    EXPECT_EQ(View()->mask().boundingRect(), QRect(0, 0, 486, 431));
}

TEST_F(AboutWindow, PageGetsNoContextMenu)
{
    const TFormAbout form(FEngine);
    TContextMenuModel model;
    model.AddItem(1, QStringLiteral("后退"), TContextMenuModel::TRole::Back);
    model.AddSeparator();
    model.AddItem(2, QStringLiteral("查看源代码"), TContextMenuModel::TRole::ViewSource);
    EXPECT_EQ(View()->RaiseContextMenu({}, model).Count(), 0);
}

TEST_F(AboutWindow, EscOrThePageClosingCloseTheWindow)
{
    struct TCase
    {
        const char* Name;
        std::function<void(TFormAbout&, TFakeChromium&)> Act;
        bool Closes;
    };
    const TCase cases[] = {
        {"Esc at the page", [](TFormAbout&, TFakeChromium& view) { PressKey(&view, Qt::Key_Escape); }, true},
        {"Esc at the native window", [](TFormAbout& form, TFakeChromium&) { PressKey(form.windowHandle(), Qt::Key_Escape); }, true},
        {"Esc at the window", [](TFormAbout& form, TFakeChromium&) { PressKey(&form, Qt::Key_Escape); }, true},
        {"the page closes", [](TFormAbout&, TFakeChromium& view) { view.RaiseClose(); }, true},
        {"another key", [](TFormAbout&, TFakeChromium& view) { PressKey(&view, Qt::Key_Return); }, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFormAbout form(FEngine); // the fake view never loads anything: a page that failed
        form.show();
        TKeyEater eater;
        View()->installEventFilter(&eater);
        c.Act(form, *View());
        EXPECT_EQ(form.isVisible(), !c.Closes);
        if (c.Closes) {
            EXPECT_EQ(form.result(), QDialog::Rejected);
        }
    }
}

TEST_F(AboutWindow, EscForAnotherWindowIsLeftAlone)
{
    TFormAbout form(FEngine);
    form.show();
    QWidget other;
    other.show();
    PressKey(&other, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
}

// The tray entries: disabled while their window is open, enabled after.
class TrayWindows : public FormFixture
{
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        FMessages.Answer = IDOK;
    }

    TScratchDir FConfigHome;
    TEnvGuard FConfigEnv{"XDG_CONFIG_HOME", FConfigHome.Path().chopped(1).toLocal8Bit()};
};

TEST_F(TrayWindows, EntryIsDisabledWhileItsModalWindowIsOpen)
{
    TFormMain form(FEngine);
    form.NSetting->setVisible(true); // a hidden entry always reads as disabled
    struct TCase
    {
        QAction* Entry;
        const char* Class;
    };
    for (const TCase& c : {TCase{form.NAbout, "TFormAbout"}, TCase{form.NSetting, "TFormSetting"}}) {
        SCOPED_TRACE(c.Class);
        QString seenClass;
        bool seenModal = false;
        QPointer<QWidget> seenWindow;
        bool enabledWhileOpen = true;
        // Runs inside the modal loop, once the window is up.
        QTimer::singleShot(0, [&] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (window->isVisible() && qobject_cast<QDialog*>(window)) {
                    seenClass = QString::fromLatin1(window->metaObject()->className());
                    seenModal = window->isModal();
                    seenWindow = window;
                    enabledWhileOpen = c.Entry->isEnabled();
                    window->close();
                }
            }
        });
        c.Entry->trigger();
        EXPECT_EQ(seenClass, QLatin1String(c.Class));
        EXPECT_TRUE(seenModal);
        EXPECT_FALSE(enabledWhileOpen);
        EXPECT_TRUE(c.Entry->isEnabled());
        EXPECT_TRUE(seenWindow.isNull()); // destroyed once closed
    }
}

} // namespace

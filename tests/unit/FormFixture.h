#pragma once

#include "shell/Main.h"
#include "tabs/PageControl.h"
#include "tabs/TabRegistry.h"
#include "widgets/AppMessageBox.h"

#include "FakeBrowserEngine.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QPointer>

#include <memory>

// The main window over the fake engine, as an installed copy runs it: the
// program folder and the data folder (config.ini, cache/) apart, the
// runtime folder of the instance lock in scratch space. Message boxes are
// recorded and answered with FMessages.Answer (No unless a test sets it).
class FormFixture : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The window made, not shown; nothing of the event queue has run yet.
    void CreateForm();
    // The window made and shown; nothing of the event queue has run yet.
    void MakeForm();
    // The window made, shown normal at 1000 x 700, its first tab open.
    void StartForm();

    QString Config() const { return FData.File(QStringLiteral("config.ini")); }
    TPageControl& Pages();
    // The view shown on the page at index, or nullptr.
    TFakeChromium* ViewOn(int index);
    // A popup raised by the page at fromIndex; its tab follows through the queue.
    TChromium* Popup(int fromIndex, bool userGesture = false);

    TScratchDir FProgram;
    TScratchDir FData;
    TScratchDir FRuntime;
    TEnvGuard FRuntimeEnv{"XDG_RUNTIME_DIR", FRuntime.Path().toLocal8Bit()};
    TFakeBrowserEngine FEngine;
    TMessageBoxRecorder FMessages{IDNO};
    std::unique_ptr<TFormMain> FForm;
};

// The tab registry on a bare tab control with the fake engine, its first tab
// open: the features' controllers, made as members of a derived fixture,
// bind themselves to the views as they would in the window.
class TabsFixture : public testing::Test
{
protected:
    void SetUp() override;

    QString Config() const { return FData.File(QStringLiteral("config.ini")); }

    TScratchDir FProgram;
    TScratchDir FData;
    TFakeBrowserEngine FEngine;
    TMessageBoxRecorder FMessages{IDNO};
    TShutdownFlags FFlags;
    TPageControl FPages;
    TTabRegistry FRegistry{FPages, FEngine};
    QPointer<TFakeChromium> FView; // the first tab's
};

#include "core/Global.h"
#include "service/LoginAddress.h"
#include "service/ServiceTasks.h"
#include "widgets/AppMessageBox.h"
#include "shell/Main.h"

#include "FakeBrowserEngine.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

namespace {

TEST(LoginAddress, ValuesAreEncodedIntoTheTemplate)
{
    const struct
    {
        const char* Name;
        TMachineFingerprint Values;
        QString Expected;
    } cases[] = {
        {"the documented machine",
         {"PC01", "00:1A:2B:3C:4D:5E", "00-11-22-33-44-55", "", "10.0.0.5"},
         "http://erp.example/?ComputerName=PC01&MacAddress=00%3A1A%3A2B%3A3C%3A4D%3A5E&RT=00-11-22-33-44-55"
         "&IpOut=&IpIn=10.0.0.5"},
        {"nothing known", {"", "", "", "", " "},
         "http://erp.example/?ComputerName=&MacAddress=&RT=&IpOut=&IpIn=+"},
        {"two adapters, two addresses, a Chinese name",
         {QStringLiteral("办公室"), "00:1A:2B:3C:4D:5E;A4:5E:60:C1:22:33", "", "", "10.0.0.5, 192.168.1.8"},
         "http://erp.example/?ComputerName=%E5%8A%9E%E5%85%AC%E5%AE%A4"
         "&MacAddress=00%3A1A%3A2B%3A3C%3A4D%3A5E%3BA4%3A5E%3A60%3AC1%3A22%3A33&RT=&IpOut="
         "&IpIn=10.0.0.5%2C+192.168.1.8"},
        {"query characters in a value stay inside it", {"a&b=c?d", "", "", "", " "},
         "http://erp.example/?ComputerName=a%26b%3Dc%3Fd&MacAddress=&RT=&IpOut=&IpIn=+"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatLoginAddress(QStringLiteral("erp.example"), c.Values), c.Expected) << c.Name;
}

TEST(LoginAddress, TaskDropsItsResultWhenTheWindowIsGone)
{
    TScratchDir program;
    TScratchDir runtime;
    TEnvGuard runtimeEnv("XDG_RUNTIME_DIR", runtime.Path().toLocal8Bit());
    gAppDir = program.Path();
    gDataDir = program.Path();
    SetMessageBoxHook([](const QString&, const QString&, int) { return IDOK; });
    TFakeBrowserEngine engine;
    for (int i = 0; i < 5; ++i) {
        // Destroyed at once, while its login task still runs.
        auto form = std::make_unique<TFormMain>(engine);
        form.reset();
    }
    // A task whose object is gone by the time the result is delivered drops it.
    bool reported = false;
    {
        TLoginAddressTask task;
        QObject::connect(&task, &TLoginAddressTask::LoginAddressReady, [&reported] { reported = true; });
        task.Start();
        QThread::msleep(300);
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(reported);
    TLoginAddressTask live;
    QObject::connect(&live, &TLoginAddressTask::LoginAddressReady, [&reported] { reported = true; });
    live.Start();
    EXPECT_TRUE(WaitUntil([&reported] { return reported; }, 20000));
    SetMessageBoxHook(nullptr);
}

} // namespace

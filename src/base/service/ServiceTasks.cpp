#include "service/ServiceTasks.h"

#include "core/Global.h"
#include "service/Fingerprint.h"
#include "service/LoginAddress.h"
#include "service/VersionManifest.h"
#include "util/AppError.h"
#include "util/CommonThread.h"
#include "util/HttpFetch.h"
#include "util/TaskGate.h"
#include "util/TaskLink.h"

#include <QDebug>

#include <optional>

namespace {

void RunOnce(std::function<void()> task)
{
    auto* thread = new TCommonThread(); // frees itself when done
    thread->FSynchronized = false;
    thread->FMaxRuns = 1;
    thread->SetTask(std::move(task));
    thread->Start();
}

std::optional<QString> FetchUpdateQuestion()
{
    try {
        const std::optional<TVersionManifest> manifest =
            VersionManifest::Read(FetchUrlText(ServiceUrl(QStringLiteral("/ver/ver.html"))));
        if (!manifest)
            return std::nullopt;
        return VersionManifest::UpdateQuestion(*manifest);
    } catch (const EAppError& error) {
        // Only the question is ever shown; everything else goes to the debug channel.
        qDebug().noquote() << error.Message();
        return std::nullopt;
    }
}

} // namespace

TLoginAddressTask::TLoginAddressTask(QObject* parent)
    : QObject(parent), FLink(std::make_shared<TTaskLink>(this))
{
}

TLoginAddressTask::~TLoginAddressTask()
{
    FLink->Detach();
}

void TLoginAddressTask::Start()
{
    RunOnce([link = FLink, self = this] {
        const QString address = FormatLoginAddress(ServiceHost(), ReadMachineFingerprint());
        // Runs only while the task object exists.
        link->Deliver([self, address] { Q_EMIT self->LoginAddressReady(address); });
    });
}

TVersionCheckTask::TVersionCheckTask(QObject* parent, std::chrono::milliseconds holdLimit)
    : QObject(parent), FLink(std::make_shared<TTaskLink>(this)), FGate(std::make_shared<TTaskGate>()),
      FHoldLimit(holdLimit)
{
}

TVersionCheckTask::~TVersionCheckTask()
{
    FLink->Detach();
    FGate->Open(); // a worker still held ends without asking
}

void TVersionCheckTask::Start()
{
    RunOnce([link = FLink, gate = FGate, limit = FHoldLimit, self = this] {
        gate->WaitFor(limit);
        if (!link->Attached())
            return;
        const std::optional<QString> question = FetchUpdateQuestion();
        if (question)
            link->Deliver([self, text = *question] { Q_EMIT self->UpdateOffered(text); });
    });
}

void TVersionCheckTask::Release()
{
    FGate->Open();
}

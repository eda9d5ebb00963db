#include "page/ExternalLinks.h"

#include "engine/Chromium.h"
#include "tabs/TabRegistry.h"
#include "widgets/AppMessageBox.h"
#include "widgets/ShutdownFlags.h"

#include <QDebug>
#include <QTimer>

#include <utility>

namespace {

// Long addresses are cut so the question stays readable.
constexpr qsizetype ShownAddressLength = 200;

} // namespace

TExternalLinks::TExternalLinks(TTabRegistry& registry, const TShutdownFlags& flags, TOpener open,
                               THandlerName handler, QObject* parent)
    : QObject(parent), FFlags(flags), FOpen(std::move(open)), FHandler(std::move(handler))
{
    connect(&registry, &TTabRegistry::ViewCreated, this, [this](TChromium* view) {
        // Queued: the question must not open inside the engine's call.
        connect(view, &TChromium::ExternalLinkRequested, this, &TExternalLinks::Requested, Qt::QueuedConnection);
    });
}

QString TExternalLinks::Question(const QUrl& url, const QString& program)
{
    QString address = url.toDisplayString();
    if (address.size() > ShownAddressLength)
        address = address.left(ShownAddressLength) + QStringLiteral("…");
    return QStringLiteral("此网页要用其他程序打开链接：\n%1\n\n链接类型：%2:\n打开方式：%3\n\n是否打开？")
        .arg(address, url.scheme(), program.isEmpty() ? QStringLiteral("（系统未设置此类链接的程序）") : program);
}

void TExternalLinks::Requested(const QUrl& url, bool userClicked)
{
    if (FFlags.FClosing)
        return;
    if (!userClicked) {
        qDebug().noquote() << QStringLiteral("Link to another program refused without a click: %1:").arg(url.scheme());
        return;
    }
    // One question at a time; a click meanwhile is dropped.
    if (FAsking)
        return;
    const QString program = FHandler ? FHandler(url.scheme()) : QString();
    FAsking = true;
    const bool open = AppMessageBox(Question(url, program), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
    FAsking = false;
    if (open && !FFlags.FClosing && FOpen)
        FOpen(url);
}

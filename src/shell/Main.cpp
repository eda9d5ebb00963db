#include "shell/Main.h"

#include "app/Global.h"
#include "config/ConfigFile.h"
#include "engine/BrowserEngine.h"
#include "engine/Chromium.h"
#include "platform/Platform.h"
#include "platform/ShellMessage.h"
#include "shell/AppMessageBox.h"
#include "shell/ShellMessages.h"
#include "util/AppError.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

TFormMain::TFormMain(TBrowserEngine& engine, QWidget* parent)
    : QWidget(parent), FEngine(engine)
{
    setWindowTitle(QStringLiteral("浏览器"));
    resize(1008, 702);
    setMinimumSize(640, 480);

    PageControl1 = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageControl1);

    auto* page0 = new QWidget(PageControl1);
    auto* page0Layout = new QVBoxLayout(page0);
    page0Layout->setContentsMargins(0, 0, 0, 0);
    crm = FEngine.CreateView(page0);
    page0Layout->addWidget(crm);
    PageControl1->addWidget(page0);

    auto* page1 = new QLabel(QStringLiteral("正在检测安全环境..."), PageControl1);
    page1->setAlignment(Qt::AlignCenter);
    PageControl1->addWidget(page1);
    PageControl1->setCurrentIndex(1);

    // A second start reaches this window by its native handle.
    FMessageFilter = std::make_unique<TShellMessageFilter>([this](qint64 window, int message) {
        if (window == Handle())
            PostShellMessage(this, message);
    });
    qApp->installNativeEventFilter(FMessageFilter.get());

    FormCreate();
}

TFormMain::~TFormMain()
{
    FormDestroy();
}

qint64 TFormMain::Handle()
{
    return static_cast<qint64>(winId());
}

void TFormMain::FormCreate()
{
    gAppDir = Platform::LongPathName(gAppDir);
    FConfirmExit = true;

    const TConfigFile config(AppFile(QStringLiteral("config.ini")));
    try {
        config.WriteHandle(Handle());
    } catch (const EAppError& error) {
        // Without a writable config.ini a second start cannot find this
        // window, but the program itself still works: say so and go on.
        AppMessageBox(error.Message(), MB_OK);
    }
    const TUserOptions options = config.ReadOptions();
    gAutoStart = options.AutoStart;
    gSoundHint = options.SoundHint;
    gPopupHint = options.PopupHint;

    setWindowTitle(AppTitle());
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationName(AppTitle());
}

void TFormMain::FormDestroy()
{
    if (FMessageFilter)
        qApp->removeNativeEventFilter(FMessageFilter.get());
    gInstanceMutex.Release();
}

void TFormMain::NShowMainClick()
{
    show();
    raise();
    activateWindow();
    if (isMinimized())
        showMaximized();
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    event->accept();
    QCoreApplication::quit();
}

bool TFormMain::event(QEvent* event)
{
    if (event->type() == static_cast<QEvent::Type>(WM_SHELL_ACTIVATE)) {
        NShowMainClick();
        return true;
    }
    return QWidget::event(event);
}

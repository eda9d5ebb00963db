#pragma once

#include "config/ConfigFile.h"
#include "shell/CloseRules.h"

#include <QWidget>

#include <memory>

class QAction;
class QMenu;
class QStackedWidget;
class QSystemTrayIcon;
class TBrowserEngine;
class TChromium;
class TShellMessageFilter;

// The program's one main window: the tabs, the tray icon and the close rules.
class TFormMain : public QWidget, public TShutdownFlags
{
    Q_OBJECT

public:
    explicit TFormMain(TBrowserEngine& engine, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The native handle other processes address this window by.
    qint64 Handle();

    // Shows the window in the state creation read from config.ini.
    void ShowInitialState();

    // Outer rectangle and state as written to "WIN".
    TWindowPlacement CurrentPlacement() const;

    QStackedWidget* PageControl1 = nullptr;
    TChromium* crm = nullptr;
    QSystemTrayIcon* TrayIcon1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* NShowMain = nullptr;
    QAction* NRelogin = nullptr;
    QAction* NSetting = nullptr;
    QAction* NAbout = nullptr;
    QAction* NExit = nullptr;

    QString FLoginUrl;

    void NShowMainClick();
    void NExitClick();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    void FormCloseQuery(QCloseEvent* event);
    void CreateTrayIcon();
    void ApplyPlacement(const TWindowPlacement& placement);
    void HideToTray();

    TBrowserEngine& FEngine;
    std::unique_ptr<TShellMessageFilter> FMessageFilter;
    TWindowPlacement FStartPlacement;
    bool FPlacementFitted = false;
    bool FConfigWriteReported = false;
};

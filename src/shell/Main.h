#pragma once

#include <QWidget>

#include <memory>

class QStackedWidget;
class TBrowserEngine;
class TChromium;
class TShellMessageFilter;

// The program's one main window.
class TFormMain : public QWidget
{
    Q_OBJECT

public:
    explicit TFormMain(TBrowserEngine& engine, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The native handle other processes address this window by.
    qint64 Handle();

    QStackedWidget* PageControl1 = nullptr;
    TChromium* crm = nullptr;

    QString FLoginUrl;
    bool FClosing = false;
    bool FExitRequested = false;
    bool FConfirmExit = true;

    void NShowMainClick();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();

    TBrowserEngine& FEngine;
    std::unique_ptr<TShellMessageFilter> FMessageFilter;
};

#pragma once

#include "engine/Chromium.h"

#include <QDialog>

class TBrowserEngine;

// The service's about page in a small borderless window with rounded
// corners and a thin silver border.
class TFormAbout : public QDialog, private TChromiumHandler
{
    Q_OBJECT

public:
    explicit TFormAbout(TBrowserEngine& engine, QWidget* parent = nullptr);
    ~TFormAbout() override;

    TChromium* crm = nullptr;

    // Esc closes the window; no other key is handled. True when handled.
    bool FormKeyDown(int Key);

    void crmBeforeContextMenu(TChromium* Sender, const TContextMenuParams& Params, TContextMenuModel& Model) override;
    void crmClose(TChromium* Sender);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FormCreate();
    void FormShow();
};

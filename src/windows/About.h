#pragma once

#include "engine/ContextMenuModel.h"

#include <QDialog>

class TBrowserEngine;
class TChromium;
struct TContextMenuParams;

// The service's about page in a small borderless window with rounded
// corners and a thin silver border.
class TFormAbout : public QDialog
{
    Q_OBJECT

public:
    explicit TFormAbout(TBrowserEngine& engine, QWidget* parent = nullptr);

    TChromium* crm = nullptr;

    // Esc closes the window; no other key is handled. True when handled.
    bool FormKeyDown(int Key);

    void crmBeforeContextMenu(TChromium* Sender, const TContextMenuParams& Params, TContextMenuModel& Model);
    void crmClose(TChromium* Sender);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void FormCreate();
    void FormShow();
};

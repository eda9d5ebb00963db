#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// The updater's only window: what it is doing now. It cannot be closed
// while the update runs; the update ends by itself (every step has a time
// limit, and the system's own prompt has its cancel button).
class TFormUpdate : public QWidget
{
    Q_OBJECT

public:
    explicit TFormUpdate(QWidget* parent = nullptr);

    void ShowStep(const QString& step);
    void AllowClose();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* FStep = nullptr;
    QProgressBar* FBusy = nullptr;
    bool FMayClose = false;
};

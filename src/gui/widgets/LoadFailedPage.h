#pragma once

#include "widgets/ViewCover.h"

class QLabel;
class QPushButton;

// Covers a browser view whose page could not be loaded (the service down,
// no network, a proxy that fails): what failed in plain words, the address,
// and a button to try again. It follows the view's size.
class TLoadFailedPage : public TViewCover
{
    Q_OBJECT

public:
    explicit TLoadFailedPage(QWidget* view);

    void SetFailure(const QString& title, const QString& text, const QString& address);
    // A line under the button: when it tries again by itself, or nothing.
    void SetRetryNote(const QString& note);

    QString Title() const;
    QString Text() const;
    QString RetryNote() const;
    QPushButton* RetryButton() const { return FRetry; }

Q_SIGNALS:
    void RetryClicked();

private:
    QLabel* FTitle = nullptr;
    QLabel* FText = nullptr;
    QLabel* FAddress = nullptr;
    QLabel* FNote = nullptr;
    QPushButton* FRetry = nullptr;
};

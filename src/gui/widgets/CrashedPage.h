#pragma once

#include "widgets/ViewCover.h"

class QPushButton;

// Covers a browser view whose page process ended: says so and offers to
// load the page again. It follows the view's size and goes away when clicked.
class TCrashedPage : public TViewCover
{
    Q_OBJECT

public:
    explicit TCrashedPage(QWidget* view);

    QPushButton* ReloadButton() const { return FReload; }

Q_SIGNALS:
    void ReloadClicked();

private:
    QPushButton* FReload = nullptr;
};

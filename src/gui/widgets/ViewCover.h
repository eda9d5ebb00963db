#pragma once

#include <QWidget>

// A widget laid over a browser view, filling it and following its size.
class TViewCover : public QWidget
{
    Q_OBJECT

public:
    explicit TViewCover(QWidget* view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

#include "widgets/ViewCover.h"

#include <QEvent>

TViewCover::TViewCover(QWidget* view)
    : QWidget(view)
{
    setAutoFillBackground(true);
    view->installEventFilter(this);
    setGeometry(view->rect());
}

bool TViewCover::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

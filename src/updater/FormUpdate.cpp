#include "FormUpdate.h"

#include "core/Global.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

TFormUpdate::TFormUpdate(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
{
    setWindowTitle(QStringLiteral("%1 更新").arg(AppTitle()));
    auto* layout = new QVBoxLayout(this);
    FStep = new QLabel(this);
    FStep->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    FStep->setWordWrap(true);
    FBusy = new QProgressBar(this);
    FBusy->setRange(0, 0);
    FBusy->setTextVisible(false);
    FBusy->setAccessibleName(QStringLiteral("更新进度"));
    layout->addWidget(FStep);
    layout->addWidget(FBusy);
}

void TFormUpdate::ShowStep(const QString& step)
{
    FStep->setText(step);
    FStep->setAccessibleName(step);
}

void TFormUpdate::AllowClose()
{
    FMayClose = true;
}

void TFormUpdate::closeEvent(QCloseEvent* event)
{
    if (FMayClose)
        event->accept();
    else
        event->ignore();
}

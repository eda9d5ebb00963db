#include "widgets/CrashedPage.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TCrashedPage::TCrashedPage(QWidget* view)
    : TViewCover(view)
{
    setObjectName(QStringLiteral("CrashedPage"));
    auto* title = new QLabel(QStringLiteral("网页已崩溃"), this);
    title->setStyleSheet(QStringLiteral("font-size: 20px; font-weight: bold;"));
    auto* text = new QLabel(QStringLiteral("显示此网页的进程意外终止（崩溃、被结束或内存不足）。"), this);
    FReload = new QPushButton(QStringLiteral("重新加载"), this);
    FReload->setDefault(true);
    connect(FReload, &QPushButton::clicked, this, &TCrashedPage::ReloadClicked);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    layout->addWidget(text, 0, Qt::AlignHCenter);
    layout->addSpacing(12);
    layout->addWidget(FReload, 0, Qt::AlignHCenter);
    layout->addStretch(2);
    raise();
    show();
    FReload->setFocus();
}

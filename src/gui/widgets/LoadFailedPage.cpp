#include "widgets/LoadFailedPage.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* NewLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    // Addresses and engine texts come from outside: shown as they are.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

} // namespace

TLoadFailedPage::TLoadFailedPage(QWidget* view)
    : TViewCover(view)
{
    setObjectName(QStringLiteral("LoadFailedPage"));
    FTitle = NewLabel(this);
    FTitle->setStyleSheet(QStringLiteral("font-size: 20px; font-weight: bold;"));
    FText = NewLabel(this);
    FAddress = NewLabel(this);
    FAddress->setStyleSheet(QStringLiteral("color: #666666;"));
    FAddress->setTextInteractionFlags(Qt::TextSelectableByMouse);
    FNote = NewLabel(this);
    FNote->setStyleSheet(QStringLiteral("color: #666666;"));
    FRetry = new QPushButton(QStringLiteral("重试"), this);
    FRetry->setDefault(true);
    connect(FRetry, &QPushButton::clicked, this, &TLoadFailedPage::RetryClicked);
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(FTitle);
    layout->addWidget(FText);
    layout->addWidget(FAddress);
    layout->addSpacing(12);
    layout->addWidget(FRetry, 0, Qt::AlignHCenter);
    layout->addWidget(FNote);
    layout->addStretch(2);
    raise();
    show();
    FRetry->setFocus();
}

void TLoadFailedPage::SetFailure(const QString& title, const QString& text, const QString& address)
{
    FTitle->setText(title);
    FText->setText(text);
    FAddress->setText(address.isEmpty() ? QString() : QStringLiteral("地址：%1").arg(address));
}

void TLoadFailedPage::SetRetryNote(const QString& note)
{
    FNote->setText(note);
}

QString TLoadFailedPage::Title() const
{
    return FTitle->text();
}

QString TLoadFailedPage::Text() const
{
    return FText->text();
}

QString TLoadFailedPage::RetryNote() const
{
    return FNote->text();
}

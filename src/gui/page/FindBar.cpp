#include "page/FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

TFindBar::TFindBar(QWidget* parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 3, 6, 3);
    layout->setSpacing(6);
    layout->addWidget(new QLabel(QStringLiteral("查找："), this));
    FEdit = new QLineEdit(this);
    FEdit->setFixedWidth(220);
    layout->addWidget(FEdit);
    FResult = new QLabel(this);
    FResult->setMinimumWidth(60);
    layout->addWidget(FResult);
    auto* previous = new QPushButton(QStringLiteral("上一个"), this);
    auto* next = new QPushButton(QStringLiteral("下一个"), this);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    for (QPushButton* button : {previous, next, close}) {
        button->setFocusPolicy(Qt::NoFocus); // the text box keeps the keys
        button->setAutoDefault(false);
        layout->addWidget(button);
    }
    layout->addStretch(1);
    connect(FEdit, &QLineEdit::textEdited, this, &TFindBar::TextEdited);
    connect(previous, &QPushButton::clicked, this, &TFindBar::PreviousClicked);
    connect(next, &QPushButton::clicked, this, &TFindBar::NextClicked);
    connect(close, &QPushButton::clicked, this, &TFindBar::CloseClicked);
    hide();
}

void TFindBar::Open(const QString& text)
{
    SetText(text);
    show();
    FEdit->setFocus(Qt::ShortcutFocusReason);
    FEdit->selectAll();
}

void TFindBar::SetText(const QString& text)
{
    if (FEdit->text() != text)
        FEdit->setText(text);
}

QString TFindBar::Text() const
{
    return FEdit->text();
}

void TFindBar::ShowResult(int active, int count)
{
    if (FEdit->text().isEmpty())
        FResult->clear();
    else if (count <= 0)
        FResult->setText(QStringLiteral("无结果"));
    else
        FResult->setText(QStringLiteral("%1/%2").arg(qMax(active, 1)).arg(count));
}

void TFindBar::ClearResult()
{
    FResult->clear();
}

QString TFindBar::ResultText() const
{
    return FResult->text();
}

void TFindBar::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    Q_EMIT KeyPressed({event->key(), event->modifiers(), event->isAutoRepeat()});
}

TZoomIndicator::TZoomIndicator(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    FLabel = new QLabel(this);
    layout->addWidget(FLabel);
    FHideTimer = new QTimer(this);
    FHideTimer->setSingleShot(true);
    FHideTimer->setInterval(ShowMs);
    connect(FHideTimer, &QTimer::timeout, this, &QWidget::hide);
    hide();
}

void TZoomIndicator::ShowLevel(int percent)
{
    FLabel->setText(QStringLiteral("缩放：%1%").arg(percent));
    adjustSize();
    if (QWidget* area = parentWidget())
        move(area->width() - width() - 16, 8);
    show();
    raise();
    FHideTimer->start();
}

QString TZoomIndicator::Text() const
{
    return FLabel->text();
}

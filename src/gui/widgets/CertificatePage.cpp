#include "widgets/CertificatePage.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

TCertificatePage::TCertificatePage(QWidget* view, const QString& host, const QString& reason,
                                   const QString& fingerprint, bool overridable)
    : TViewCover(view), FHost(host)
{
    setObjectName(QStringLiteral("CertificatePage"));
    auto* title = new QLabel(QStringLiteral("此网站的安全证书不受信任"), this);
    title->setStyleSheet(QStringLiteral("font-size: 20px; font-weight: bold;"));
    // Plain text only: the reason and host come from outside.
    auto* details = new QLabel(this);
    details->setTextFormat(Qt::PlainText);
    details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    details->setText(QStringLiteral("网站：%1\n原因：%2\n证书指纹（SHA-256）：\n%3").arg(host, reason, fingerprint));
    auto* advice = new QLabel(this);
    advice->setTextFormat(Qt::PlainText);
    advice->setText(overridable ? QStringLiteral("他人可能正在冒充此网站，读取或篡改您与它之间的数据。\n"
                                                 "如果您不确定，请不要继续，并联系系统管理员。")
                                : QStringLiteral("此错误不允许继续访问。请联系系统管理员。"));
    auto* layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    layout->addSpacing(8);
    layout->addWidget(details, 0, Qt::AlignHCenter);
    layout->addWidget(advice, 0, Qt::AlignHCenter);
    if (overridable) {
        FContinue = new QPushButton(QStringLiteral("继续访问"), this);
        FContinue->setAutoDefault(false); // never by a stray Enter
        connect(FContinue, &QPushButton::clicked, this, &TCertificatePage::ContinueClicked);
        layout->addSpacing(12);
        layout->addWidget(FContinue, 0, Qt::AlignHCenter);
    }
    layout->addStretch(2);
    raise();
    show();
    // The keyboard leaves the page: Tab reaches the button, and a key meant
    // for the page never passes the warning by itself.
    setFocusPolicy(Qt::StrongFocus);
    setFocus();
}

TCertificateWarning::TCertificateWarning(QWidget* view, const QString& host)
    : QLabel(view), FHost(host)
{
    setObjectName(QStringLiteral("CertificateWarning"));
    setTextFormat(Qt::PlainText);
    // It lies over the top of the page: a click puts it away, the tab keeps the warning.
    setText(QStringLiteral("⚠ %1 的安全证书不受信任，您已选择继续访问。（点击关闭此提示）").arg(host));
    setCursor(Qt::PointingHandCursor);
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("background: #fff3cd; color: #664d03; padding: 2px 8px;"));
    view->installEventFilter(this);
    Place();
    raise();
    show();
}

bool TCertificateWarning::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        Place();
    return QLabel::eventFilter(watched, event);
}

void TCertificateWarning::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    hide();
}

void TCertificateWarning::Place()
{
    setGeometry(0, 0, parentWidget()->width(), sizeHint().height());
}

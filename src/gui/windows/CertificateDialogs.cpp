#include "windows/CertificateDialogs.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel* NewText(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

// OK (the default) and a way out, closing form with its answer.
QDialogButtonBox* NewButtons(QDialog* form, const QString& ok, const QString& cancel)
{
    auto* buttons = new QDialogButtonBox(form);
    buttons->addButton(ok, QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, form, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, form, &QDialog::reject);
    return buttons;
}

} // namespace

std::optional<int> ExecuteClientCertificateChoice(QWidget* owner, const QString& host,
                                                  const QList<QSslCertificate>& offered)
{
    QPointer<QDialog> form = new QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    form->setWindowTitle(QStringLiteral("选择客户端证书"));
    auto* list = new QListWidget(form);
    for (const QSslCertificate& certificate : offered)
        list->addItem(TClientCertificates::Describe(certificate));
    list->setCurrentRow(0);
    QDialogButtonBox* buttons = NewButtons(form, QStringLiteral("确定"), QStringLiteral("不发送证书"));
    QObject::connect(list, &QListWidget::itemDoubleClicked, form, &QDialog::accept);
    auto* layout = new QVBoxLayout(form);
    layout->addWidget(NewText(QStringLiteral("网站 %1 要求提供客户端证书，请选择要发送的证书：").arg(host), form));
    layout->addWidget(list);
    layout->addWidget(buttons);
    form->resize(520, 260);
    const int result = form->exec();
    if (!form)
        return std::nullopt;
    const int row = list->currentRow();
    delete form;
    if (result != QDialog::Accepted || row < 0)
        return std::nullopt;
    return row;
}

std::optional<TClientCertificates::TPasswordAnswer> ExecuteCertificatePassword(QWidget* owner, const QString& file,
                                                                               bool retry)
{
    QPointer<QDialog> form = new QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    form->setWindowTitle(QStringLiteral("客户端证书密码"));
    QString text = QStringLiteral("请输入客户端证书文件的密码：\n%1").arg(file);
    if (retry)
        text += QStringLiteral("\n密码不正确，请重新输入。");
    auto* password = new QLineEdit(form);
    password->setEchoMode(QLineEdit::Password);
    auto* remember = new QCheckBox(QStringLiteral("记住密码"), form);
    QDialogButtonBox* buttons = NewButtons(form, QStringLiteral("确定"), QStringLiteral("取消"));
    auto* layout = new QVBoxLayout(form);
    layout->addWidget(NewText(text, form));
    layout->addWidget(password);
    layout->addWidget(remember);
    layout->addWidget(buttons);
    form->setMinimumWidth(400);
    password->setFocus();
    const int result = form->exec();
    if (!form)
        return std::nullopt;
    const TClientCertificates::TPasswordAnswer answer{password->text(), remember->isChecked()};
    delete form;
    if (result != QDialog::Accepted)
        return std::nullopt;
    return answer;
}

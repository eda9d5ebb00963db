#include "windows/SignInDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

TFormSignIn::TFormSignIn(const TSignInQuestion& question, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("需要登录"));
    QString text = question.Text;
    // The realm is the server's own text: shown, never interpreted.
    if (!question.Realm.trimmed().isEmpty())
        text += QStringLiteral("\n服务器提示：%1").arg(question.Realm.trimmed().left(200));
    if (question.Retry)
        text += QStringLiteral("\n上次输入的用户名或密码不正确，请重新输入。");
    LabelText = new QLabel(text, this);
    LabelText->setTextFormat(Qt::PlainText);
    LabelText->setWordWrap(true);
    auto* warning = new QLabel(QStringLiteral("注意：此连接未加密，密码可能被网络中的他人看到。"), this);
    warning->setStyleSheet(QStringLiteral("color: #a03000;"));
    warning->setWordWrap(true);
    warning->setVisible(question.Insecure);

    EditUser = new QLineEdit(question.User, this);
    EditPassword = new QLineEdit(this);
    EditPassword->setEchoMode(QLineEdit::Password);
    CheckBoxRemember = new QCheckBox(QStringLiteral("记住密码"), this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("用户名："), EditUser);
    form->addRow(QStringLiteral("密码："), EditPassword);
    form->addRow(QString(), CheckBoxRemember);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("登录"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelText);
    layout->addWidget(warning);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setMinimumWidth(380);
    if (question.User.isEmpty())
        EditUser->setFocus();
    else
        EditPassword->setFocus();
}

TSignInAnswer TFormSignIn::Answer() const
{
    return {{EditUser->text(), EditPassword->text()}, CheckBoxRemember->isChecked()};
}

std::optional<TSignInAnswer> ExecuteSignInDialog(QWidget* owner, const TSignInQuestion& question)
{
    // The owner may go while the box is open (the window closing).
    QPointer<TFormSignIn> form = new TFormSignIn(question, owner);
    form->setAttribute(Qt::WA_DeleteOnClose, false);
    const int result = form->exec();
    if (!form)
        return std::nullopt;
    const std::optional<TSignInAnswer> answer =
        result == QDialog::Accepted ? std::optional<TSignInAnswer>(form->Answer()) : std::nullopt;
    delete form;
    return answer;
}

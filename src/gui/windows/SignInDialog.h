#pragma once

#include "page/SignIn.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;

// The sign-in box: who asks, the server's realm as it wrote it, the user
// name and password, and whether to keep them.
class TFormSignIn : public QDialog
{
    Q_OBJECT

public:
    TFormSignIn(const TSignInQuestion& question, QWidget* parent = nullptr);

    TSignInAnswer Answer() const;

    QLabel* LabelText = nullptr;
    QLineEdit* EditUser = nullptr;
    QLineEdit* EditPassword = nullptr;
    QCheckBox* CheckBoxRemember = nullptr;
};

// Shows the box modally over owner; nothing when the user gives up.
std::optional<TSignInAnswer> ExecuteSignInDialog(QWidget* owner, const TSignInQuestion& question);

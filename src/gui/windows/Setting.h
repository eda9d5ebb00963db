#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;

// The options dialog: shows the user options held in memory, stores them in
// config.ini and switches the autostart entry.
class TFormSetting : public QDialog
{
    Q_OBJECT

public:
    explicit TFormSetting(QWidget* parent = nullptr);

    QCheckBox* CheckBoxAutoStart = nullptr;
    QCheckBox* CheckBoxSoundHint = nullptr;
    QCheckBox* CheckBoxPopupHint = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;

    // Stores the choices and closes with Accepted; a failed config.ini write
    // is reported and leaves the dialog open.
    void ButtonOKClick();

private:
    void FormCreate();
};

#pragma once

#include <QWidget>

#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;
class TDownloadList;

// The downloads window: one row per download of the list, with its progress
// and its buttons. Not modal; it only shows the list and passes on clicks.
class TFormDownloads : public QWidget
{
    Q_OBJECT

public:
    TFormDownloads(TDownloadList& list, QWidget* parent);

    // Brings the window up in front (it stays where the user put it).
    void ShowAndRaise();

    struct TRowWidgets
    {
        QLabel* Name = nullptr;
        QProgressBar* Progress = nullptr;
        QLabel* Status = nullptr;
        QPushButton* Cancel = nullptr;
        QPushButton* Open = nullptr;
        QPushButton* ShowInFolder = nullptr;
    };
    const std::vector<TRowWidgets>& Rows() const { return FRows; }

private:
    void ListAdded(int row);
    void ListChanged(int row);

    TDownloadList& FList;
    QVBoxLayout* FRowsLayout = nullptr;
    QLabel* FEmpty = nullptr;
    std::vector<TRowWidgets> FRows;
};

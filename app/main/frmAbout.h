#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// "About": the program's picture, name and version, and the credit line.
class TfrmAbout : public QDialog {
    Q_OBJECT

public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    QLabel* imgProgram;
    QLabel* lblProductName;
    QLabel* lblVersion;
    QLabel* lblCredits;
    QPushButton* btnOk;
};

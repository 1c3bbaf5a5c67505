#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// "Serial port settings": the baud rate. Only "Ok" applies; the close box changes nothing.
class TfrmSerialPortSettings : public QDialog {
    Q_OBJECT

public:
    explicit TfrmSerialPortSettings(QWidget* parent = nullptr);

    QLabel* lblBaud;
    QLineEdit* txtBaud;
    QPushButton* btnOk;
};

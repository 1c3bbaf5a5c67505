#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;

// "Export settings": the device and header rows and the decimal separator of the export.
// Only "Ok" applies; the close box changes nothing.
class TfrmExportSettings : public QDialog {
    Q_OBJECT

public:
    explicit TfrmExportSettings(QWidget* parent = nullptr);

    QCheckBox* chkExportDeviceDetails;
    QCheckBox* chkExportTableHeader;
    QLabel* lblDecimalSeparator;
    QRadioButton* rbCiarka;
    QRadioButton* rbBodka;
    QPushButton* btnOk;
};

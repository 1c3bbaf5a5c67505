#include "app/main/frmSerialPortSettings.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/common/DesignFonts.h"

TfrmSerialPortSettings::TfrmSerialPortSettings(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmSerialPortSettings"));
    setWindowTitle(QStringLiteral("Serial port settings"));
    setFont(DesignFont());
    setFixedSize(172, 84);

    lblBaud = new QLabel(QStringLiteral("Baud:"), this);
    lblBaud->move(16, 16);
    lblBaud->adjustSize();

    txtBaud = new QLineEdit(this);
    txtBaud->setObjectName(QStringLiteral("txtBaud"));
    txtBaud->setGeometry(50, 13, 103, 21);

    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(88, 51, 65, 25);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

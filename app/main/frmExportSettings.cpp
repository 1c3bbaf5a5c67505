#include "app/main/frmExportSettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include "app/common/DesignFonts.h"

TfrmExportSettings::TfrmExportSettings(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmExportSettings"));
    setWindowTitle(QStringLiteral("Export settings"));
    setFont(DesignFont());
    setFixedSize(192, 142);

    chkExportDeviceDetails = new QCheckBox(QStringLiteral("Export device details"), this);
    chkExportDeviceDetails->setObjectName(QStringLiteral("chkExportDeviceDetails"));
    chkExportDeviceDetails->move(16, 16);
    chkExportDeviceDetails->adjustSize();

    chkExportTableHeader = new QCheckBox(QStringLiteral("Export table header"), this);
    chkExportTableHeader->setObjectName(QStringLiteral("chkExportTableHeader"));
    chkExportTableHeader->move(16, 39);
    chkExportTableHeader->adjustSize();

    lblDecimalSeparator = new QLabel(QStringLiteral("Decimal separator:"), this);
    lblDecimalSeparator->move(16, 72);
    lblDecimalSeparator->adjustSize();

    // Both radio buttons share this dialog as parent, which makes them one exclusive group.
    rbCiarka = new QRadioButton(QStringLiteral(","), this);
    rbCiarka->setObjectName(QStringLiteral("rbCiarka"));
    rbCiarka->move(112, 71);
    rbCiarka->adjustSize();

    rbBodka = new QRadioButton(QStringLiteral("."), this);
    rbBodka->setObjectName(QStringLiteral("rbBodka"));
    rbBodka->move(151, 71);
    rbBodka->adjustSize();
    rbBodka->setChecked(true);

    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(111, 102, 65, 25);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

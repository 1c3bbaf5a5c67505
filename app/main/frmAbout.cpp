#include "app/main/frmAbout.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "app/common/DesignFonts.h"
#include "app/common/Pictures.h"

TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setFont(DesignFont());
    setFixedSize(301, 184);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("pnlAbout"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setGeometry(8, 8, 285, 137);

    imgProgram = new QLabel(panel);
    imgProgram->setObjectName(QStringLiteral("imgProgram"));
    imgProgram->setGeometry(8, 8, 64, 64);
    imgProgram->setPixmap(Picture("program").pixmap(64, 64));

    lblProductName = new QLabel(QStringLiteral("MERIDAX data exporter"), panel);
    lblProductName->setObjectName(QStringLiteral("lblProductName"));
    lblProductName->setFont(DesignFont(13, true));
    lblProductName->move(88, 16);
    lblProductName->adjustSize();

    lblVersion = new QLabel(QStringLiteral("Version 1.1"), panel);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->move(88, 40);
    lblVersion->adjustSize();

    lblCredits = new QLabel(
        QStringLiteral("Reads the memory of the MERIDAX optical\npower and loss meter and "
                       "exports it.\nWritten by the MERIDAX data exporter team."),
        panel);
    lblCredits->setObjectName(QStringLiteral("lblCredits"));
    lblCredits->move(8, 80);
    lblCredits->adjustSize();

    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(113, 152, 75, 25);
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

// The keyboard paths: shortcuts shown in menus and tooltips, Escape for a cancel, Space on
// any cell of a row, and the tab order.
#include <QAction>
#include <QComboBox>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

#include "app/common/MeridaxApplication.h"
#include "app/main/frmMain.h"

namespace {

void GiveShortcut(QAbstractButton* button, const QKeySequence& keys) {
    button->setShortcut(keys);
    button->setToolTip(
        QStringLiteral("%1 (%2)").arg(button->text(), keys.toString(QKeySequence::NativeText)));
}

}  // namespace

void TfrmMain::BuildKeyboard() {
    GiveShortcut(btnOpen, QKeySequence(Qt::CTRL | Qt::Key_O));
    GiveShortcut(btnSaveToFile, QKeySequence(Qt::CTRL | Qt::Key_S));
    GiveShortcut(btnImport, QKeySequence(Qt::CTRL | Qt::Key_I));
    GiveShortcut(btnRefreshPorts, QKeySequence(Qt::Key_F5));

    // The export entries live in a popup menu; added to the window too, their keys work
    // while the menu is closed.
    ppExportToExcel->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    ppExportToClipboard->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    addAction(ppExportToExcel);
    addAction(ppExportToClipboard);
    btnExport->setToolTip(
        QStringLiteral("Export to Excel (%1), Export to Clipboard (%2)")
            .arg(ppExportToExcel->shortcut().toString(QKeySequence::NativeText),
                 ppExportToClipboard->shortcut().toString(QKeySequence::NativeText)));

    const QKeySequence checkAll(Qt::CTRL | Qt::Key_A);
    btnCheckUnCheckAll->setToolTip(QStringLiteral("Check or uncheck all rows (%1 in the table)")
                                       .arg(checkAll.toString(QKeySequence::NativeText)));
    for (QTableView* view : ListViews) {
        // The table's own Ctrl+A would select, which a single-row selection cannot.
        auto* shortcut = new QShortcut(checkAll, view, nullptr, nullptr, Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, btnCheckUnCheckAll, &QPushButton::click);
        view->installEventFilter(this);
        // Tab leaves the table for the next control; the arrows move within it.
        view->setTabKeyNavigation(false);
    }

    // F10 opens the first menu, as elsewhere on the desktop.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this,
            [this] { menuBar()->setActiveAction(Edit1->menuAction()); });

    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (session_->ImportUnderWay()) {
            btnCancelImport->click();
        }
    });

    // Reading order: the groups row by row, and in each its controls top to bottom. The page
    // control hands the focus to its tab bar, which stands right after it.
    QWidget* const order[] = {btnRefreshPorts,     cbPorts,      btnImport,    pgMerania,
                              pgMerania->tabBar(), ListViews[0], ListViews[1], ListViews[2],
                              btnCheckUnCheckAll,  btnExport,    btnOpen,      btnSaveToFile,
                              btnCancelImport};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void TfrmMain::ToggleCurrentRow(QTableView* view) {
    const QModelIndex current = view->currentIndex();
    if (!current.isValid()) {
        return;
    }
    const QModelIndex box = current.siblingAtColumn(0);
    const bool ticked = box.data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
    view->model()->setData(box, ticked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

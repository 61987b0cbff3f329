// The two domain lists in the window: the list operations, and the user's editing commands
// (context menu, add, remove, clear, move, drop, and showing a cancelled window in full).
#include "app/frmMain.h"
#include "platform/Failure.h"
#include "platform/Platform.h"
#include "util/VELModule.h"

#include <QAction>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>

void frmMain::AddDomain(const QString& strUrl, std::int32_t LstIndex) {
    mobjLists.AddDomain(strUrl, LstIndex);
}

bool frmMain::IsInList(const QString& StrDomain, std::int32_t LstIndex) const {
    return mobjLists.IsInList(StrDomain, LstIndex);
}

void frmMain::RemoveFromList(const QString& StrDomain, std::int32_t LstIndex) {
    mobjLists.RemoveFromList(StrDomain, LstIndex);
}

void frmMain::LoadList() {
    mobjLists.LoadList();
}

QStringList frmMain::SaveList() {
    return mobjLists.SaveList();
}

namespace {

QListView* viewFor(frmMain& form, std::int32_t list) {
    return list == DomainLists::Denied ? form.List2 : list == DomainLists::Accepted ? form.List3 : nullptr;
}

// Qt counts a list of files as text too; only real plain text is a domain to add.
bool HasPlainText(const QMimeData* data) {
    return data && data->hasFormat(QStringLiteral("text/plain"));
}

int selectedRow(const QListView* view) {
    const QModelIndexList rows = view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

} // namespace

// A user's edit that fails (a full list) is told, never dropped silently.
static void userEdit(frmMain& form, const std::function<void()>& edit) {
    try {
        edit();
    } catch (const zor::Failure& failure) {
        form.Warn(failure.message());
    }
}

void frmMain::ConnectListHandlers() {
    for (QListView* view : {List2, List3}) {
        view->viewport()->installEventFilter(this);
        view->viewport()->setAcceptDrops(true);
    }
    List1->viewport()->installEventFilter(this);
    connect(List1, &QListWidget::itemDoubleClicked, this, [this] { List_DblClick(); });
    connect(mnuAdd, &QAction::triggered, this, &frmMain::mnuAdd_Click);
    connect(mnuRemove, &QAction::triggered, this, &frmMain::mnuRemove_Click);
    connect(mnuClearList, &QAction::triggered, this, &frmMain::mnuClearList_Click);
    connect(mnuMoveTo, &QAction::triggered, this, &frmMain::mnuMoveTo_Click);
}

bool frmMain::ListEventFilter(QObject* watched, QEvent* event) {
    const std::int32_t list = watched == List2->viewport()   ? DomainLists::Denied
                              : watched == List3->viewport() ? DomainLists::Accepted
                                                             : 0;
    if (list == 0 && watched != List1->viewport())
        return false;
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
        type == QEvent::MouseButtonRelease) {
        // Only the left button selects, as in a plain list box: the right one opens the menu on
        // the entry already selected, and the middle one does nothing at all.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (type == QEvent::MouseButtonRelease && list != 0)
            List_MouseUp(list, mouse->button() == Qt::RightButton  ? 2
                               : mouse->button() == Qt::LeftButton ? 1
                                                                   : 4);
        return mouse->button() != Qt::LeftButton;
    }
    if (list == 0)
        return false;
    switch (type) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (HasPlainText(drag->mimeData()))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        List_OLEDragDrop(list, drop->mimeData());
        drop->acceptProposedAction();
        return true;
    }
    default:
        return false;
    }
}

void frmMain::List_MouseUp(std::int32_t list, int Button) {
    QListView* view = viewFor(*this, list);
    if (Button != 2 || !view || selectedRow(view) < 0)
        return;
    mlngCurrentList = list;
    mnuMoveTo->setText(list == DomainLists::Denied ? lbMoveToAcceptedDomains->text()
                                                   : lbMoveToDeniedDomains->text());
    mnuList->popup(QCursor::pos());
}

void frmMain::mnuAdd_Click() {
    const auto text = platform::dialogs().inputBox(this, QStringLiteral("Enter URL:"),
                                                   QStringLiteral("Add URL"), QString());
    if (text && !text->isEmpty())
        userEdit(*this, [&] { AddDomain(*text, mlngCurrentList); });
}

void frmMain::mnuRemove_Click() {
    QListView* view = viewFor(*this, mlngCurrentList);
    if (!view || selectedRow(view) < 0)
        return;
    mobjLists.list(mlngCurrentList)->RemoveItem(selectedRow(view));
}

void frmMain::mnuClearList_Click() {
    DomainListModel* model = mobjLists.list(mlngCurrentList);
    if (!model)
        return;
    const QString& question = mstrMsg[mlngCurrentList == DomainLists::Denied ? 4 : 5];
    if (platform::dialogs().messageBox(this, question, platform::MsgIcon::Exclamation,
                                       platform::MsgButtons::OkCancel, App::Title) == platform::MsgAnswer::Ok)
        model->Clear();
}

void frmMain::mnuMoveTo_Click() {
    QListView* view = viewFor(*this, mlngCurrentList);
    if (!view || selectedRow(view) < 0)
        return;
    DomainListModel* model = mobjLists.list(mlngCurrentList);
    const int row = selectedRow(view);
    const QString text = model->List(row);
    // Added first: an entry the other list refuses stays where it was. The add takes entries
    // equal to a reduced text off this list already, which may have moved the selected one.
    userEdit(*this, [&] {
        AddDomain(text, mlngCurrentList == DomainLists::Denied ? DomainLists::Accepted : DomainLists::Denied);
        const qsizetype at =
            row < model->ListCount() && model->List(row) == text ? row : model->entries().indexOf(text);
        if (at >= 0)
            model->RemoveItem(at);
    });
}

void frmMain::List_OLEDragDrop(std::int32_t list, const QMimeData* Data) {
    if (!HasPlainText(Data))
        return;
    const QString text = Data->text();
    userEdit(*this, [&] { AddDomain(text, list); });
}

void frmMain::List_DblClick() {
    const QListWidgetItem* item = List1->currentItem();
    if (!item || !item->isSelected())
        return;
    platform::dialogs().messageBox(this, item->text(), platform::MsgIcon::Information,
                                   platform::MsgButtons::Ok, App::Title);
}

#include "FormFixture.h"
#include "controls/tray/ZorTray.h"
#include "util/VELModule.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QUrl>

namespace {

class WindowCommands : public FormFixture {
protected:
    void SetUp() override { Load(); }
    void Select(QListView* view, int row) {
        view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::ClearAndSelect);
    }
};

TEST_F(WindowCommands, TheHotKeyTogglesActiveAndTwiceRestoresIt) {
    form->ZORHotkey1_KeyPressed(0);
    EXPECT_FALSE(form->chkKillPopup->isChecked());
    form->ZORHotkey1_KeyPressed(0);
    EXPECT_TRUE(form->chkKillPopup->isChecked());
}

TEST_F(WindowCommands, BringingTheWindowUpShowsItNormalAndDoesNotHideItAgain) {
    form->showMinimized();
    form->mnuConfigure_Click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isMinimized());
    EXPECT_FALSE(form->mblnShowing);
}

TEST_F(WindowCommands, TheAboutLabelAndTheTrayAboutBoxNameTheDocumentationBesideTheProgram) {
    QTest::mouseClick(form->Label5, Qt::LeftButton);
    ASSERT_EQ(dialogs->opened.size(), 1);
    const QString opened = dialogs->opened.first();
    EXPECT_EQ(form->Label5->text(), opened);
    EXPECT_TRUE(ZorTray::AboutText().endsWith(u'\n' + opened));
    // Tests run from their own folder: the file must be at the same place beside the program.
    ASSERT_TRUE(QUrl(opened).isLocalFile());
    const QString beside = QDir(VELModule::AppPath()).relativeFilePath(QUrl(opened).toLocalFile());
    EXPECT_TRUE(QFileInfo(qEnvironmentVariable("ZOR_RUNTIME_DIR") + u'/' + beside).isFile())
        << qPrintable(beside);
}

// Every list, every button: only the left one moves the selection; the right one opens a domain
// list's menu on the entry already selected, whose move item names the other list.
class ListPresses : public WindowCommands,
                    public testing::WithParamInterface<std::tuple<std::int32_t, Qt::MouseButton>> {};

TEST_P(ListPresses, OnlyTheLeftButtonSelects) {
    const auto [list, button] = GetParam();
    QListView* view = list == 1 ? form->List1 : list == 2 ? form->List2 : form->List3;
    const QStringList entries{q("a.test"), q("b.test")};
    if (list == 1)
        form->List1->addItems(entries);
    else
        (list == 2 ? form->Lists().List2() : form->Lists().List3()).setEntries(entries);
    const QPoint second = view->visualRect(view->model()->index(1, 0)).center();
    QTest::mouseClick(view->viewport(), Qt::RightButton, {}, second);
    EXPECT_EQ(form->mlngCurrentList, 0) << "no menu without a selected entry";
    Select(view, 0);
    QTest::mouseClick(view->viewport(), button, {}, second);
    EXPECT_EQ(view->selectionModel()->selectedRows(),
              QModelIndexList{view->model()->index(button == Qt::LeftButton, 0)});
    EXPECT_EQ(form->mlngCurrentList, button == Qt::RightButton && list != 1 ? list : 0);
    if (form->mlngCurrentList != 0) {
        EXPECT_EQ(form->mnuMoveTo->text(),
                  list == 2 ? q("Move to accepted Domains") : q("Move to denied domains"));
    }
    form->mnuList->hide();
}

INSTANTIATE_TEST_SUITE_P(Table, ListPresses,
                         testing::Combine(testing::Values(1, 2, 3),
                                          testing::Values(Qt::LeftButton, Qt::MiddleButton,
                                                          Qt::RightButton)));

TEST_F(WindowCommands, AddRemoveMoveAndClearGoThroughTheListRules) {
    form->Lists().List2().setEntries({q("w.x.y"), q("dup.test"), q("dup.test")});
    form->mlngCurrentList = 3;
    dialogs->inputAnswers.push_back(q("http://w.x.y/p"));
    form->mnuAdd_Click();
    EXPECT_EQ(form->Lists().List3().entries(), QStringList{q("w.x.y")});
    EXPECT_EQ(form->Lists().List2().entries(), (QStringList{q("dup.test"), q("dup.test")}));
    EXPECT_EQ(dialogs->inputPrompts.last(), q("Enter URL:"));

    dialogs->inputAnswers.push_back(std::nullopt);
    form->mnuAdd_Click();
    EXPECT_EQ(form->Lists().List3().ListCount(), 1) << "cancel adds nothing";

    form->mlngCurrentList = 2;
    Select(form->List2, 1);
    form->mnuRemove_Click();
    EXPECT_EQ(form->Lists().List2().entries(), QStringList{q("dup.test")}) << "only the selected one";

    form->Lists().List3().AddItem(q("DUP.TEST"));
    Select(form->List2, 0);
    form->mnuMoveTo_Click();
    EXPECT_EQ(form->Lists().List2().ListCount(), 0);
    EXPECT_EQ(form->Lists().List3().entries(), (QStringList{q("w.x.y"), q("DUP.TEST")}));

    form->mlngCurrentList = 3;
    dialogs->messageAnswers.push_back(platform::MsgAnswer::Cancel);
    form->mnuClearList_Click();
    EXPECT_EQ(form->Lists().List3().ListCount(), 2);
    EXPECT_EQ(dialogs->messages.last().prompt, q("Clear Accepted Domains list?"));
    dialogs->messageAnswers.push_back(platform::MsgAnswer::Ok);
    form->mnuClearList_Click();
    EXPECT_EQ(form->Lists().List3().ListCount(), 0);
}

TEST_F(WindowCommands, DroppedTextIsAddedWholeAndOtherDataIsIgnored) {
    QMimeData text;
    text.setText(q("http://w.x.y/p\nsecond line"));
    form->List_OLEDragDrop(2, &text);
    EXPECT_EQ(form->Lists().List2().entries(), QStringList{q("w.x.y")});
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(q("/tmp/x.txt"))});
    files.removeFormat(q("text/plain"));
    form->List_OLEDragDrop(3, &files);
    EXPECT_EQ(form->Lists().List3().ListCount(), 0);
}

TEST_F(WindowCommands, DoubleClickOnACancelledWindowShowsItOnlyWhenSelected) {
    const auto before = dialogs->messages.size();
    form->List_DblClick();
    EXPECT_EQ(dialogs->messages.size(), before);
    form->List1->addItem(q("http://a.test/ --> Terminated!"));
    form->List1->setCurrentRow(0);
    form->List_DblClick();
    ASSERT_EQ(dialogs->messages.size(), before + 1);
    EXPECT_EQ(dialogs->messages.last().prompt, q("http://a.test/ --> Terminated!"));
    EXPECT_EQ(dialogs->messages.last().icon, platform::MsgIcon::Information);
}

} // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt dialogs as a user meets them: the message box's exact title, text and buttons without an
// icon and the answer each way of closing gives; the save dialog set up from the request; the list
// box and window placement over their widgets.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "platform/qt/qt_dialogs.h"
#include "platform/qt/qt_list_box.h"
#include "platform/qt/qt_window.h"
#include "support/qt_test_app.h"
#include "support/test_support.h"

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;

// Runs act on the modal dialog of type T as soon as it is shown.
template <typename T>
void WhenShown(std::function<void(T*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
}

class QtDialogsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { testing_support::EnsureQtApplication(); }
    QWidget owner;
    platform::QtDialogs dialogs{&owner};
};

TEST_F(QtDialogsTest, MessageBoxShowsExactlyWhatIsAskedAndMapsTheAnswer) {
    struct Case {
        MessageButtons buttons;
        QMessageBox::StandardButtons expected;
        QMessageBox::StandardButton press;  // NoButton: closed with Escape
        MessageAnswer answer;
    };
    const QMessageBox::StandardButtons yesNo = QMessageBox::Yes | QMessageBox::No;
    const QMessageBox::StandardButtons okCancel = QMessageBox::Ok | QMessageBox::Cancel;
    for (const Case c :
         {Case{MessageButtons::YesNo, yesNo, QMessageBox::Yes, MessageAnswer::Yes},
          Case{MessageButtons::YesNo, yesNo, QMessageBox::No, MessageAnswer::No},
          Case{MessageButtons::YesNo, yesNo, QMessageBox::NoButton, MessageAnswer::No},
          Case{MessageButtons::OkCancel, okCancel, QMessageBox::Ok, MessageAnswer::Ok},
          Case{MessageButtons::OkCancel, okCancel, QMessageBox::NoButton, MessageAnswer::Cancel},
          Case{MessageButtons::Ok, QMessageBox::Ok, QMessageBox::NoButton, MessageAnswer::Ok}}) {
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::Warning;
        QMessageBox::StandardButtons shown;
        QWidget* parent = nullptr;
        WhenShown<QMessageBox>([&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            shown = box->standardButtons();
            parent = box->parentWidget();
            if (c.press == QMessageBox::NoButton) {
                box->reject();  // Escape or the window's close button
            } else {
                box->button(c.press)->click();
            }
        });
        EXPECT_EQ(dialogs.messageBox("Duplicate Clip", "Line one.\r\nLine  two.", c.buttons),
                  c.answer);
        EXPECT_EQ(title.toStdString(), "Duplicate Clip");
        EXPECT_EQ(text.toStdString(), "Line one.\nLine  two.");
        EXPECT_EQ(icon, QMessageBox::NoIcon);
        EXPECT_EQ(shown, c.expected);
        EXPECT_EQ(parent, &owner);
    }
}

TEST_F(QtDialogsTest, SaveDialogFollowsTheRequest) {
    testing_support::TempDir dir;
    platform::SaveDialogRequest request;
    request.title = "Save Joined File As";
    request.filter = "Avi File (*.avi)|*.avi|Any File|*.avi;*.divx";
    request.filterIndex = 1;
    request.defaultExtension = ".avi";
    request.initialFolder = dir.path().string();
    request.flags = 0x20880E;

    WhenShown<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle().toStdString(), "Save Joined File As");
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog->defaultSuffix().toStdString(), "avi");
        EXPECT_EQ(dialog->nameFilters(),
                  (QStringList{"Avi File (*.avi)", "Any File (*.avi *.divx)"}));
        EXPECT_EQ(dialog->selectedNameFilter().toStdString(), "Avi File (*.avi)");
        EXPECT_EQ(dialog->directory().absolutePath().toStdString(), dir.path().string());
        EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        dialog->selectFile(QString::fromStdString(dir.file("out")));
        static_cast<QDialog*>(dialog)->accept();  // as the Save button does
    });
    const platform::SaveDialogResult chosen = dialogs.saveFile(request);
    EXPECT_TRUE(chosen.shown);
    EXPECT_EQ(chosen.fileName, dir.file("out.avi"));

    WhenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(dialogs.saveFile(request).fileName, "");
}

TEST_F(QtDialogsTest, ListBoxAndPlacementOverTheirWidgets) {
    QListWidget widget;
    widget.setSelectionMode(QAbstractItemView::ExtendedSelection);
    platform::QtListBox list(widget);
    list.addLine("a.avi");
    list.addLine("Ünïcode.avi");
    list.setSelected(1, true);
    list.setSelected(7, true);  // past the end: nothing
    list.setText(0, "b.avi");
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(list.text(0), "b.avi");
    EXPECT_EQ(list.text(1), "Ünïcode.avi");
    EXPECT_EQ(list.text(-1), "");
    EXPECT_FALSE(list.isSelected(0));
    EXPECT_TRUE(list.isSelected(1));
    EXPECT_EQ(widget.currentRow(), 1);

    QWidget window;
    window.resize(200, 100);
    window.show();
    platform::QtPlacedWindow placed(window);
    placed.setLeft(1500);
    placed.setTop(3000);
    placed.setCaption("Trelvane");
    EXPECT_EQ(placed.left(), 1500);
    EXPECT_EQ(placed.top(), 3000);
    EXPECT_EQ(window.windowTitle().toStdString(), "Trelvane");
    EXPECT_GT(platform::ScreenAreaOf(&window).width, 0);
}

}  // namespace

// The real message box: caption, no icon, OK only, modal to the application.
// A timer inspects the box and presses OK, so the test never waits on a user.
#include "windows/common/message_box.h"
#include "windows/common/window_services.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace kalvero::test {
namespace {

TEST(QtMessageService, ShowsOkOnlyWithoutIconUnderTheApplicationTitleAndWaitsForOk) {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::Warning;
    Qt::WindowModality modality = Qt::NonModal;
    QList<QAbstractButton*> buttons;
    int textIndent = -1;
    bool okHasIcon = true;
    bool pressed = false;
    QTimer press;
    press.setInterval(10);
    QObject::connect(&press, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        caption = box->windowTitle();
        text = box->text();
        icon = box->icon();
        modality = box->windowModality();
        buttons = box->buttons();
        // No room is kept for an icon that is not there.
        textIndent = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->x() -
                     box->layout()->contentsMargins().left();
        okHasIcon = !box->button(QMessageBox::Ok)->icon().isNull();
        pressed = true;
        box->button(QMessageBox::Ok)->click();
    });
    press.start();
    // Should OK never be found, the box is closed after a bound all the same.
    QTimer::singleShot(10000, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });

    QtMessageService().ShowMessage("The Syntaxes have been executed ");
    EXPECT_TRUE(pressed);
    EXPECT_EQ(caption, QString::fromLatin1(kApplicationTitle));
    EXPECT_EQ(text, QStringLiteral("The Syntaxes have been executed "));
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(modality, Qt::ApplicationModal);
    EXPECT_EQ(buttons.size(), 1);
    EXPECT_EQ(textIndent, 0);
    EXPECT_FALSE(okHasIcon);
}

} // namespace
} // namespace kalvero::test

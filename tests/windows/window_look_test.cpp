// What a user sees at first glance, measured: every caption fits its
// control in the font its window uses, and a frame draws its caption on its
// border with its option buttons inside.
#include "tests/support/window_test.h"

#include "windows/about/about_box.h"
#include "windows/common/classic_frame.h"
#include "windows/common/wrapping_controls.h"
#include "windows/help/help_window.h"
#include "windows/main/main_window.h"
#include "windows/progress/progress_window.h"
#include "windows/syntax_select/syntax_select_window.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTextLayout>

namespace kalvero::test {
namespace {

// The area a control's caption has, and the flags it is drawn with.
struct CaptionArea {
    QRect area;
    int flags = 0;
};

CaptionArea AreaOf(const QWidget& widget) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        QStyle::SubElement element = QStyle::SE_PushButtonContents;
        if (qobject_cast<const QCheckBox*>(button))
            element = QStyle::SE_CheckBoxContents;
        else if (qobject_cast<const QRadioButton*>(button))
            element = QStyle::SE_RadioButtonContents;
        const bool wraps = dynamic_cast<const WrappingPushButton*>(&widget) != nullptr ||
                           dynamic_cast<const WrappingCheckBox*>(&widget) != nullptr;
        return {button->style()->subElementRect(element, &option, button),
                wraps ? int(Qt::TextWordWrap) : 0};
    }
    const auto& label = static_cast<const QLabel&>(widget);
    return {label.contentsRect(), label.wordWrap() ? int(Qt::TextWordWrap) : 0};
}

QString CaptionOf(const QWidget& widget) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget))
        return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(&widget))
        return label->text();
    return {};
}

TEST_F(WindowTest, EveryCaptionFitsItsControlInItsWindowsFont) {
    const std::vector<QWidget*> windows = {&MAIN.Load(), &SYNT_SELECT.Load(), &WAIT.Load(),
                                           &HILFE.Load(), &frmAbout.Load()};
    int measured = 0;
    for (QWidget* window : windows) {
        for (QWidget* control : window->findChildren<QWidget*>()) {
            const QString caption = CaptionOf(*control);
            if (caption.trimmed().isEmpty())
                continue;
            const auto [area, flags] = AreaOf(*control);
            const QRect needed = control->fontMetrics().boundingRect(
                QRect(area.topLeft(), QSize(area.width(), 10000)), flags | Qt::AlignLeft, caption);
            EXPECT_LE(needed.width(), area.width())
                << window->objectName().toStdString() << "." << control->objectName().toStdString();
            EXPECT_LE(needed.height(), area.height())
                << window->objectName().toStdString() << "." << control->objectName().toStdString();
            // The box or circle of an option button or check box, too.
            if (qobject_cast<QRadioButton*>(control) || qobject_cast<QCheckBox*>(control)) {
                QStyleOptionButton option;
                option.initFrom(control);
                const QRect indicator = control->style()->subElementRect(
                    qobject_cast<QRadioButton*>(control) ? QStyle::SE_RadioButtonIndicator
                                                         : QStyle::SE_CheckBoxIndicator,
                    &option, control);
                EXPECT_TRUE(control->rect().contains(indicator))
                    << control->objectName().toStdString();
            }
            ++measured;
        }
    }
    EXPECT_GE(measured, 15);
    // The disclaimer was made to be two lines, the second beginning with
    // "It" ("System" alone on a third was the sign of a font too wide, "It"
    // ending the first of blanks too narrow).
    const QLabel& disclaimer = *frmAbout.Loaded()->lblDisclaimer;
    QTextLayout layout(disclaimer.text(), disclaimer.font());
    layout.beginLayout();
    QStringList lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(disclaimer.contentsRect().width());
        lines << disclaimer.text().mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    ASSERT_EQ(lines.size(), 2) << lines.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(lines[1].startsWith(QLatin1String("It should"))) << lines[1].toStdString();
    // One font in every window, but for WAIT's label, which has its own.
    for (QWidget* window : windows)
        EXPECT_EQ(window->font(), windows.front()->font()) << window->objectName().toStdString();
}

TEST_F(WindowTest, FramesDrawTheirCaptionOnTheBorderWithTheirButtonsInside) {
    MainWindow& main = MAIN.Load();
    main.show();
    const QImage client = main.centralWidget()->grab().toImage();
    for (QGroupBox* box : {main.Frame1, main.Frame2}) {
        auto* frame = dynamic_cast<ClassicFrame*>(box);
        ASSERT_NE(frame, nullptr) << box->objectName().toStdString();
        const QRect caption = frame->CaptionRect();
        const QRect border = frame->BorderRect();
        EXPECT_LT(caption.top(), border.top());
        EXPECT_GT(caption.bottom(), border.top());
        for (QWidget* child : frame->findChildren<QWidget*>())
            EXPECT_TRUE(border.adjusted(2, 2, -2, -2).contains(child->geometry()))
                << child->objectName().toStdString();
        // Inside, the window's own colour shows.
        const QPoint inside =
            frame->mapTo(main.centralWidget(), border.bottomRight() - QPoint(6, 6));
        EXPECT_EQ(client.pixelColor(inside), QColor(128, 255, 255))
            << box->objectName().toStdString();
    }
}

} // namespace
} // namespace kalvero::test

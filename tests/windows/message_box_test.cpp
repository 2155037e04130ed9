// The real message box: caption, no icon, OK only, modal to the application;
// and its layout for a short, a long and a very long message (the run's own
// wording for a list line of 10 MB): the text from the left margin in the
// windows' font, wrapped at the box's width with nothing cut off, OK centred
// below it, the whole box on the screen. A timer inspects the box and
// presses OK, so the test never waits on a user.
#include "tests/support/temp_dir.h"
#include "tests/support/window_test.h"

#include "windows/common/message_box.h"
#include "windows/common/window_font.h"
#include "windows/common/window_services.h"
#include "windows/main/main_window.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>

#include <stdexcept>

namespace kalvero::test {
namespace {

// What the box looked like while it was open.
struct Seen {
    bool pressed = false;
    QString caption;
    QString text;
    Qt::WindowModality modality = Qt::NonModal;
    int buttons = 0;
    int pixmaps = 0; // anything that could be an icon
    QFont textFont;
    QFont okFont;
    int margin = 0;
    QSize box;
    QRect text_;
    QRect ok;
    bool fitsScreen = false;
    int widestLine = 0;   // the widest laid-out line, in pixels
    int textWidth = 0;    // the width lines may take
    bool allShown = true; // every line in view, or a scroll bar to reach it
};

Seen Inspect(MessageBox& box) {
    Seen seen;
    seen.caption = box.windowTitle();
    seen.text = box.Text->toPlainText();
    seen.modality = box.windowModality();
    seen.buttons = static_cast<int>(box.findChildren<QPushButton*>().size());
    for (const QLabel* label : box.findChildren<QLabel*>())
        seen.pixmaps += !label->pixmap().isNull();
    seen.textFont = box.Text->font();
    seen.okFont = box.Ok->font();
    seen.margin = box.Margin();
    seen.box = box.size();
    seen.text_ = box.Text->geometry();
    seen.ok = box.Ok->geometry();
    seen.fitsScreen = box.screen()->availableGeometry().contains(box.frameGeometry());
    seen.textWidth = box.Text->viewport()->width();
    qreal height = 0;
    QAbstractTextDocumentLayout* layout = box.Text->document()->documentLayout();
    for (QTextBlock block = box.Text->document()->begin(); block.isValid(); block = block.next()) {
        height += layout->blockBoundingRect(block).height();
        for (int i = 0; i < block.layout()->lineCount(); ++i)
            seen.widestLine =
                std::max(seen.widestLine,
                         static_cast<int>(std::ceil(block.layout()->lineAt(i).naturalTextWidth())));
    }
    const QScrollBar* bar = box.Text->verticalScrollBar();
    seen.allShown =
        height <= box.Text->viewport()->height() + 0.5 || (bar->isVisible() && bar->maximum() > 0);
    return seen;
}

Seen ShowAndInspect(const std::string& text) {
    Seen seen;
    QTimer press;
    press.setInterval(10);
    QObject::connect(&press, &QTimer::timeout, [&] {
        auto* box = qobject_cast<MessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        press.stop();
        seen = Inspect(*box);
        seen.pressed = true;
        box->Ok->click();
    });
    press.start();
    // Should OK never be found, the box is closed after a bound all the same.
    QTimer::singleShot(20000, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    QtMessageService().ShowMessage(text);
    return seen;
}

class MessageBoxTest : public WindowTest {
protected:
    // What the run says when a syntax list file's line is 10 MB long.
    std::string TenMegabyteListLineMessage() {
        const kalvero::testing::TempDir folder;
        const std::string line = "/" + std::string(10 << 20, 'a') + ".sps";
        const std::string list = folder.Write("lists.txt", line + "\n");
        engines.script.onRun = [](int, const std::string& name) {
            throw std::runtime_error("Cannot open " + name + ": File name too long");
        };
        MainWindow& main = MAIN.Load();
        main.AppendEntry(QString::fromStdString(list));
        main.Option2->setChecked(true);
        main.Command4Click();
        return messages.texts.size() == 1 ? messages.texts.front() : std::string();
    }
};

TEST_F(MessageBoxTest, ShortLongAndVeryLongTextsStandAtTheLeftMarginUncutWithOkCentred) {
    const std::string veryLong = TenMegabyteListLineMessage();
    ASSERT_GT(veryLong.size(), 600u) << veryLong;
    ASSERT_LT(veryLong.size(), 100000u) << "the run shows the line shortened";
    const std::string cases[] = {
        "The Syntaxes have been executed ",
        "The run stopped at entry 2, /home/maria/Documents/Study 2024/second wave/syntax "
        "files/descriptive tables of the second wave.sps: Cannot write /home/maria/Documents/"
        "Study 2024/second wave/syntax files/descriptive tables of the second wave.spo: "
        "Permission denied\n1 syntax file was executed before.",
        veryLong};
    int previousWidth = 0;
    for (const std::string& text : cases) {
        SCOPED_TRACE(text.substr(0, 60));
        const Seen seen = ShowAndInspect(text);
        ASSERT_TRUE(seen.pressed);
        EXPECT_EQ(seen.caption, QString::fromLatin1(kApplicationTitle));
        EXPECT_EQ(seen.text, QString::fromStdString(text));
        EXPECT_EQ(seen.modality, Qt::ApplicationModal);
        EXPECT_EQ(seen.buttons, 1);
        EXPECT_EQ(seen.pixmaps, 0);
        EXPECT_EQ(seen.textFont, WindowFont());
        EXPECT_EQ(seen.okFont, WindowFont());
        // From the left margin across the box's width, nothing cut off.
        EXPECT_EQ(seen.text_.topLeft(), QPoint(seen.margin, seen.margin));
        EXPECT_EQ(seen.text_.right(), seen.box.width() - seen.margin - 1);
        EXPECT_LE(seen.widestLine, seen.textWidth);
        EXPECT_TRUE(seen.allShown);
        EXPECT_TRUE(seen.fitsScreen);
        // OK centred below the text.
        EXPECT_LE(std::abs(seen.ok.center().x() - seen.box.width() / 2), 1);
        EXPECT_GE(seen.ok.top(), seen.text_.bottom() + seen.margin);
        EXPECT_EQ(seen.ok.bottom(), seen.box.height() - seen.margin - 1);
        // Longer texts make the box wider (up to its limit), not a column.
        EXPECT_GE(seen.box.width(), previousWidth);
        previousWidth = seen.box.width();
    }
}

} // namespace
} // namespace kalvero::test

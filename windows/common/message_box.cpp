#include "windows/common/message_box.h"

#include "windows/common/twips.h"
#include "windows/common/window_services.h"
#include "windows/common/window_setup.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QString>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace kalvero {

namespace {
constexpr Qt::WindowFlags kMessageBoxFlags = Qt::Dialog | Qt::CustomizeWindowHint |
                                             Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                             Qt::WindowCloseButtonHint;
// In twips: the margin, OK (as the about box's), the narrowest and widest
// text. The narrowest leaves the window manager room for the caption beside
// its buttons; the widest, five inches, keeps lines short enough to read.
constexpr double kMargin = 180;
constexpr double kOkWidth = 1260;
constexpr double kOkHeight = 345;
constexpr double kMinTextWidth = 3600;
constexpr double kMaxTextWidth = 7200;
// Room the window manager's frame and a panel may take from the screen.
constexpr int kScreenAllowance = 64;

QTextOption WrapOption() {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

// The widest line of the text as it stands, unwrapped.
int NaturalWidth(const QString& text, const QFont& font) {
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QStringView line : QStringView(text).split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line.toString()));
    return widest;
}

// The height of the text wrapped at width, laid out as the text box lays it
// out (each line with its leading, no document margin).
int WrappedHeight(const QString& text, const QFont& font, int width) {
    qreal height = 0;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        layout.setTextOption(WrapOption());
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(width);
            height += line.height();
        }
        layout.endLayout();
    }
    return static_cast<int>(std::ceil(height));
}
} // namespace

MessageBox::MessageBox(const QString& text)
    : QDialog(nullptr, kMessageBoxFlags), Text(new QPlainTextEdit(this)),
      Ok(new QPushButton(QStringLiteral("OK"), this)) {
    setObjectName(QStringLiteral("MessageBox"));
    setWindowTitle(QString::fromUtf8(kApplicationTitle));
    setWindowModality(Qt::ApplicationModal);
    SetUpWindow(*this);
    SetAccessibleRole(*this, QAccessible::AlertMessage);

    // A read-only text without a frame, on the window's colour, reads as a
    // label, wraps inside words and scrolls where a label would be cut off.
    Text->setObjectName(QStringLiteral("Text"));
    Text->setAccessibleName(QStringLiteral("Message"));
    Text->setReadOnly(true);
    Text->setFrameShape(QFrame::NoFrame);
    Text->setFocusPolicy(Qt::ClickFocus);
    QPalette palette = Text->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    Text->setPalette(palette);
    Text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text->document()->setDocumentMargin(0);
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text->setPlainText(plain);

    Ok->setObjectName(QStringLiteral("Ok"));
    Ok->setDefault(true);
    Ok->setFocus();
    connect(Ok, &QPushButton::clicked, this, &QDialog::accept);
    LayOut();
}

int MessageBox::Margin() const {
    return TwipsToPixelsX(kMargin, screen());
}

void MessageBox::LayOut() {
    const QScreen* display = screen();
    const QRect available = display ? display->availableGeometry() : QRect(0, 0, 1024, 768);
    const int margin = Margin();
    const QSize ok(TwipsToPixelsX(kOkWidth, display), TwipsToPixelsY(kOkHeight, display));
    const int widest = std::min(TwipsToPixelsX(kMaxTextWidth, display),
                                available.width() - 2 * margin - kScreenAllowance);
    const QString text = Text->toPlainText();
    const int width = std::clamp(NaturalWidth(text, font()),
                                 std::min(TwipsToPixelsX(kMinTextWidth, display), widest), widest);
    const int highest = available.height() - 3 * margin - ok.height() - kScreenAllowance;
    int height = WrappedHeight(text, font(), width);
    // Too high: the box keeps the text's width and adds a scroll bar to it.
    int scrollBar = 0;
    if (height > highest) {
        height = highest;
        Text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        scrollBar = Text->verticalScrollBar()->sizeHint().width();
    } else {
        Text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    Text->setGeometry(margin, margin, width + scrollBar, height);
    const int boxWidth = width + scrollBar + 2 * margin;
    Ok->setGeometry((boxWidth - ok.width()) / 2, 2 * margin + height, ok.width(), ok.height());
    setFixedSize(boxWidth, 3 * margin + height + ok.height());
}

void QtMessageService::ShowMessage(const std::string& text) {
    MessageBox box(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    box.exec();
}

} // namespace kalvero

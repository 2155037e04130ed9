// Message boxes of the program: OK only, no icon, the application's title as
// caption, modal to the whole application; ShowMessage returns when the user
// has pressed OK (or Enter, Space, Escape, the close box).
//
// The text stands at the box's left margin in the windows' font, wrapped at
// the box's width, between words where it can and inside an over-long word
// (a long path) where it must; a text higher than the screen allows scrolls.
// The box is as wide as its longest line needs, up to a limit, and OK stands
// centred below the text.
#pragma once

#include "batch/run_services.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace kalvero {

class MessageBox : public QDialog {
    Q_OBJECT
public:
    explicit MessageBox(const QString& text);

    QPlainTextEdit* const Text;
    QPushButton* const Ok;

    // The margin around the text and the button, in pixels.
    int Margin() const;

private:
    void LayOut();
};

class QtMessageService : public MessageService {
public:
    void ShowMessage(const std::string& text) override;
};

} // namespace kalvero

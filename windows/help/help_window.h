// The help window HILFE: one page of fixed help text in the text box Text1,
// placed right of the main window each time it is loaded. It is opened from
// the main window's Help menu item through OpenHelpWindow().
#pragma once

#include "windows/common/form_instance.h"

#include <QWidget>

#include <cstdint>

class QPlainTextEdit;

namespace kalvero {

// Where the help window's outer frame goes beside the main window, in twips.
struct HelpPlacement {
    float left;       // the main window's Left + Width, summed in single precision
    std::int16_t top; // the main window's Top as a signed 16-bit number
};

// The placement beside a main window with the given outer Left, Top and
// Width in twips. A Top outside -32768..32767 is clamped to that range.
HelpPlacement HelpPlacementBeside(double mainLeft, double mainTop, double mainWidth);

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // The load step: sizes the window, places it beside the main window if
    // that is loaded and sets the help text.
    HelpWindow();

    QPlainTextEdit* const Text1; // the help text

protected:
    void closeEvent(QCloseEvent* event) override;
    // Text1 fills the client area, so its vertical scroll bar stays in view.
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceBesideMain();
};

extern FormInstance<HelpWindow> HILFE;

// The Help menu item: loads HILFE if needed, shows it modeless without an
// owner and brings it to the front.
void OpenHelpWindow();

} // namespace kalvero

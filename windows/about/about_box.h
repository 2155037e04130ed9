// The about box frmAbout: the program's title, version, a description and a
// disclaimer, and a button that finds the system information tool through
// the registry (GetKeyValue) and starts it (StartSysInfo). The registry, the
// program launcher and the message box are Services().
#pragma once

#include "windows/common/form_instance.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <string>

class QLabel;
class QPushButton;

namespace kalvero {

// The handle value of the registry root HKEY_LOCAL_MACHINE.
constexpr std::int32_t kHkeyLocalMachine = static_cast<std::int32_t>(0x80000002u);

class AboutBox : public QDialog {
    Q_OBJECT
public:
    // The load step: builds the controls and sets the caption, the version
    // and the title.
    AboutBox();

    // Starts the system information tool, or shows that it is unavailable.
    void StartSysInfo();
    // Reads the value SubKeyRef of the key KeyName below KeyRoot into KeyVal
    // as text; false (and KeyVal empty) when the key or the value cannot be
    // read. Throws when the value has no data at all.
    bool GetKeyValue(const std::int32_t& KeyRoot, const std::string& KeyName,
                     const std::string& SubKeyRef, std::string& KeyVal);

    QLabel* const lblTitle;        // the program's name
    QLabel* const lblVersion;      // Version x.y.z
    QLabel* const lblDescription;  // what the program does
    QLabel* const lblDisclaimer;   // where it was tested
    QPushButton* const cmdOK;      // OK
    QPushButton* const cmdSysInfo; // Systeminfo...
    // The etched separator: Line1[1] the grey line above, Line1[0] the white
    // one below.
    std::array<QWidget*, 2> Line1;

public slots:
    // Escape and the close box end here as well as OK and Enter.
    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void cmdOK_Click();
    void cmdSysInfo_Click();
};

extern FormInstance<AboutBox> frmAbout;

// The About menu item: loads frmAbout if needed, shows it modeless without
// an owner and brings it to the front.
void OpenAboutBox();

} // namespace kalvero

#include "windows/about/about_box.h"

#include "windows/common/twips.h"
#include "windows/common/window_services.h"
#include "windows/common/window_setup.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTextLayout>

#include <stdexcept>
#include <vector>

namespace kalvero {

FormInstance<AboutBox> frmAbout;

namespace {
constexpr Qt::WindowFlags kAboutBoxFlags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                           Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

// KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS |
// KEY_NOTIFY | KEY_CREATE_LINK | READ_CONTROL
constexpr std::uint32_t kKeyAccess = 0x2003F;
constexpr std::size_t kValueBufferSize = 1024;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegDword = 4;

const char* const kSysInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* const kSysInfoValue = "PATH";
const char* const kSysInfoLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const char* const kSysInfoLocationValue = "MSINFO";
const char* const kSysInfoProgram = "\\MSINFO32.EXE";
const char* const kSysInfoUnavailable = "Systeminformationen sind momentan nicht verfügbar";

const char* const kDisclaimer = "Warning : Tested on Windows 98 ."
                                "                               " // 31 blanks
                                "It should run also an other Microsoft 32 Bit System";

// Closes an opened registry key on every way out of GetKeyValue.
class OpenedKey {
public:
    OpenedKey(Registry& registry, Registry::Key key) : registry_(registry), key_(key) {}
    ~OpenedKey() { registry_.CloseKey(key_); }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

private:
    Registry& registry_;
    Registry::Key key_;
};

// "&h" and hexadecimal digits written as the number they denote, in decimal.
// Text that holds no digit is not a number and stays as it is.
std::string FormatHexNumber(const std::string& text) {
    const std::string digits = text.substr(2);
    if (digits.empty())
        return text;
    std::vector<int> decimal{0}; // least significant digit first
    for (char c : digits) {
        int carry = (c <= '9') ? c - '0' : c - 'A' + 10;
        for (int& d : decimal) {
            const int v = d * 16 + carry;
            d = v % 10;
            carry = v / 10;
        }
        for (; carry > 0; carry /= 10)
            decimal.push_back(carry % 10);
    }
    std::string result;
    for (auto it = decimal.rbegin(); it != decimal.rend(); ++it)
        result += static_cast<char>('0' + *it);
    return result;
}

// The text of a label as it wraps it into lines at the given width.
QStringList WrappedLines(const QString& text, const QFont& font, int width) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    QStringList lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

// In the classic face the 31 blanks filled the disclaimer's first line, so
// that its second line began with "It"; Liberation Sans's blanks are
// narrower and leave room for "It" on the first. The blanks are widened
// (word spacing) in small steps until the first line is full again.
void BreakBeforeIt(QLabel& label) {
    QFont font = label.font();
    for (qreal spacing = 0; spacing <= 8; spacing += 0.25) {
        font.setWordSpacing(spacing);
        const QStringList lines = WrappedLines(label.text(), font, label.contentsRect().width());
        if (lines.size() > 1 && lines[1].startsWith(QLatin1String("It"))) {
            label.setFont(font);
            return;
        }
    }
}

QLabel* BlackLabel(QLabel* label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    return label;
}
} // namespace

AboutBox::AboutBox()
    : QDialog(nullptr, kAboutBoxFlags), lblTitle(new QLabel(this)), lblVersion(new QLabel(this)),
      lblDescription(new QLabel(this)), lblDisclaimer(new QLabel(this)),
      cmdOK(new QPushButton(this)),
      cmdSysInfo(new QPushButton(this)), Line1{new QWidget(this), new QWidget(this)} {
    SetUpWindow(*this);
    CreateControls();

    setWindowTitle(QStringLiteral("Information about SPSS_KALVERO "));
    lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                            .arg(KALVERO_VERSION_MAJOR)
                            .arg(KALVERO_VERSION_MINOR)
                            .arg(KALVERO_VERSION_PATCH));
    lblTitle->setText(QStringLiteral("SPSS_KALVERO"));
}

void AboutBox::CreateControls() {
    setObjectName(QStringLiteral("frmAbout"));
    // The client area stands at its fixed place on the screen.
    setGeometry(TwipsRect(2340, 1935, 5730, 3555));
    setFixedSize(size());

    const auto place = [](QWidget* control, const char* name, double left, double top, double width,
                          double height) {
        control->setObjectName(QLatin1String(name));
        control->setGeometry(TwipsRect(left, top, width, height));
    };
    place(cmdOK, "cmdOK", 4245, 2625, 1260, 345);
    place(cmdSysInfo, "cmdSysInfo", 4260, 3075, 1245, 345);
    place(lblDescription, "lblDescription", 1050, 1125, 3885, 1170);
    place(lblDisclaimer, "lblDisclaimer", 255, 2625, 3870, 825);
    place(lblTitle, "lblTitle", 1050, 240, 3885, 480);
    place(lblVersion, "lblVersion", 1050, 720, 3885, 225);

    for (QLabel* label : {lblTitle, lblVersion, lblDescription, lblDisclaimer}) {
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(true);
    }
    BlackLabel(lblTitle);
    BlackLabel(lblDescription);
    BlackLabel(lblDisclaimer)->setText(QLatin1String(kDisclaimer));
    BreakBeforeIt(*lblDisclaimer);
    lblDescription->setText(QStringLiteral(
        "Runs statistics syntax files one after another without supervision and saves "
        "the output of each beside its syntax file."));

    cmdOK->setText(QStringLiteral("OK"));
    cmdOK->setDefault(true);
    cmdSysInfo->setText(QStringLiteral("&Systeminfo..."));
    setTabOrder(cmdOK, cmdSysInfo);
    connect(cmdOK, &QPushButton::clicked, this, &AboutBox::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &AboutBox::cmdSysInfo_Click);

    // The etched separator: a grey line of one pixel over a white one of two.
    const struct {
        const char* name;
        QColor colour;
        double left, top, right;
        int thickness;
    } lines[2] = {{"Line1_0", Qt::white, 105, 2460, 5654, 2},
                  {"Line1_1", QColor(128, 128, 128), 90, 2445, 5654, 1}};
    for (int i = 0; i < 2; ++i) {
        QWidget* line = Line1[i];
        line->setObjectName(QLatin1String(lines[i].name));
        const int x = TwipsToPixelsX(lines[i].left);
        line->setGeometry(x, TwipsToPixelsY(lines[i].top), TwipsToPixelsX(lines[i].right) - x,
                          lines[i].thickness);
        QPalette palette = line->palette();
        palette.setColor(QPalette::Window, lines[i].colour);
        line->setPalette(palette);
        line->setAutoFillBackground(true);
    }
}

void AboutBox::cmdOK_Click() {
    frmAbout.Unload();
}

void AboutBox::cmdSysInfo_Click() {
    StartSysInfo();
}

void AboutBox::done(int result) {
    frmAbout.Forget(this);
    QDialog::done(result);
}

void AboutBox::closeEvent(QCloseEvent* event) {
    frmAbout.Forget(this);
    QDialog::closeEvent(event);
}

void AboutBox::StartSysInfo() {
    try {
        ProgramLauncher& launcher = *Services().launcher;
        std::string toolPath;
        if (!GetKeyValue(kHkeyLocalMachine, kSysInfoKey, kSysInfoValue, toolPath)) {
            if (!GetKeyValue(kHkeyLocalMachine, kSysInfoLocationKey, kSysInfoLocationValue,
                             toolPath))
                throw std::runtime_error("no system information tool registered");
            if (!launcher.FileExists(toolPath + kSysInfoProgram))
                throw std::runtime_error("no system information tool at " + toolPath);
            toolPath += kSysInfoProgram;
        }
        launcher.Start(toolPath);
        return;
    } catch (...) {
        // Every failure, whatever its kind, ends in the one message below.
    }
    Services().messages->ShowMessage(kSysInfoUnavailable);
}

bool AboutBox::GetKeyValue(const std::int32_t& KeyRoot, const std::string& KeyName,
                           const std::string& SubKeyRef, std::string& KeyVal) {
    Registry& registry = *Services().registry;
    Registry::Key key = 0;
    if (registry.OpenKey(KeyRoot, KeyName, 0, kKeyAccess, key) != 0) {
        KeyVal.clear();
        return false;
    }
    const OpenedKey opened(registry, key);

    std::vector<unsigned char> buffer(kValueBufferSize, 0);
    std::uint32_t type = 0;
    std::uint32_t size = kValueBufferSize;
    // A size beyond the buffer cannot be trusted and counts as a failed read.
    if (registry.QueryValue(key, SubKeyRef, type, buffer, size) != 0 || size > buffer.size()) {
        KeyVal.clear();
        return false;
    }
    if (size == 0)
        throw std::runtime_error("Registry value " + SubKeyRef + " of " + KeyName +
                                 " holds no data");
    const std::size_t kept = buffer[size - 1] == 0 ? size - 1 : size;

    if (type == kRegSz) {
        KeyVal.assign(buffer.begin(), buffer.begin() + kept);
    } else if (type == kRegDword) {
        static const char kHexDigits[] = "0123456789ABCDEF";
        std::string text = "&h";
        for (std::size_t i = kept; i-- > 0;) {
            text += kHexDigits[buffer[i] >> 4];
            text += kHexDigits[buffer[i] & 0x0F];
        }
        KeyVal = FormatHexNumber(text);
    }
    return true;
}

void OpenAboutBox() {
    AboutBox& box = frmAbout.Load();
    box.show();
    box.raise();
    box.activateWindow();
}

} // namespace kalvero

#include "windows/common/message_box.h"

#include "windows/common/window_services.h"

#include <QMessageBox>
#include <QString>

namespace kalvero {

void QtMessageService::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace kalvero

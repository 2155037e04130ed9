#include "windows/common/message_box.h"

#include "windows/common/window_services.h"
#include "windows/common/x11_window_manager.h"

#include <QGridLayout>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

namespace kalvero {

void QtMessageService::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                    QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    // Without an icon, the box keeps no room for one: the layout's spacer in
    // the icon's column would indent the text.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        for (int i = grid->count() - 1; i >= 0; --i)
            if (QLayoutItem* item = grid->itemAt(i); item->spacerItem() != nullptr)
                delete grid->takeAt(i);
        grid->setHorizontalSpacing(0);
    }
    // OK only says "OK", whatever the desktop theme puts on dialog buttons.
    box.button(QMessageBox::Ok)->setIcon(QIcon());
    OfferNoMaximise(box);
    box.exec();
}

} // namespace kalvero
